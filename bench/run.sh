#!/usr/bin/env bash
# Benchmarks velvarin side by side with the tools a user would use instead:
# cat for the listing, grep (and wc -l, near the machine's limit) for the
# search, cat for a long session's output, /bin/true for start-up. Builds what it needs, makes the ticket files once
# (in $VELVARIN_BENCH_DIR, default /tmp/velvarin-bench) and prints a table of
# medians over $RUNS runs (default 5).
#   bench/run.sh [RECORDS...]     default: 1000000 4000000 16000000
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${VELVARIN_BENCH_DIR:-/tmp/velvarin-bench}
runs=${RUNS:-5}
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1000000 4000000 16000000)

build=$root/build/bench
(cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null)
velvarin=$build/velvarin
runner=$build/bench/runner
mkdir -p "$work"

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"

# Peak resident memory of velvarin in KiB in the pipeline `$1`, where the
# word VELVARIN stands for velvarin run under the runner.
peak_kib() {
  local log
  log=$(mktemp)
  bash -c "${1//VELVARIN/$runner peak $velvarin}" 2>"$log"
  tail -n 1 "$log"
  rm -f "$log"
}

row() {  # case, velvarin command, reference command, peak-memory pipeline
  local mine theirs
  read -r mine theirs < <(paired_medians true "$2" true "$3")
  printf '| %s | %s s | %s s | %.2f | %s KiB |\n' "$1" "$mine" "$theirs" \
    "$(echo "$mine $theirs" | awk '{print $1 / $2}')" "$(peak_kib "$4")"
}

echo "| case | velvarin (median) | reference (median) | ratio | velvarin peak memory |"
echo "|---|---|---|---|---|"
for n in "${sizes[@]}"; do
  dir=$work/$n
  mkdir -p "$dir"
  [ -s "$dir/ticket.txt" ] || "$build/bench/gen_tickets" "$n" 1 >"$dir/ticket.txt"
  size=$(du -m "$dir/ticket.txt" | cut -f1)
  cd "$dir"
  cat ticket.txt >/dev/null  # the same warm page cache for both sides
  row "search, $n records ($size MB) vs grep -c -x -F" \
    "printf '4\n1234\nn\n7\n' | $velvarin | cat >/dev/null" \
    "grep -c -x -F 1234 ticket.txt | cat >/dev/null" \
    "printf '4\n1234\nn\n7\n' | VELVARIN | cat >/dev/null"
  # wc -l counts the file's line breaks with AVX2: near what any reader of
  # every byte can do.
  row "search, $n records ($size MB) vs wc -l" \
    "printf '4\n1234\nn\n7\n' | $velvarin | cat >/dev/null" \
    "wc -l ticket.txt | cat >/dev/null" \
    "printf '4\n1234\nn\n7\n' | VELVARIN | cat >/dev/null"
  row "listing, $n records ($size MB) vs cat" \
    "printf '2\n7\n' | $velvarin | cat >/dev/null" \
    "cat ticket.txt | cat >/dev/null" \
    "printf '2\n7\n' | VELVARIN | cat >/dev/null"
done

dir=$work/trips
mkdir -p "$dir"
cd "$dir"
rm -f ticket.txt
if [ ! -s answers.txt ]; then
  awk 'BEGIN { for (i = 0; i < 1000000; i++) print 3; print 7 }' >answers.txt
fi
"$velvarin" <answers.txt >screen.txt
row "a million menu round trips vs cat of the same output" \
  "$velvarin <answers.txt | cat >/dev/null" \
  "cat screen.txt | cat >/dev/null" \
  "VELVARIN <answers.txt | cat >/dev/null"
row "start-up at end of input, 1000 runs vs /bin/true" \
  "$runner repeat 1000 $velvarin" \
  "$runner repeat 1000 /bin/true" \
  "VELVARIN </dev/null >/dev/null"
