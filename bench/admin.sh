#!/usr/bin/env bash
# Benchmarks velvarin-admin side by side with what a user would run instead:
# mawk for the report, the CSV export and the check, cp and sync for a
# cancel; and with wc -l, which reads the file about as fast as it can be. Builds what it needs, makes the ticket file once (in
# $VELVARIN_BENCH_DIR, default /tmp/velvarin-bench) and prints a table of
# medians over $RUNS runs (default 5), files in the page cache.
#   bench/admin.sh [RECORDS]     default: 16000000
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${VELVARIN_BENCH_DIR:-/tmp/velvarin-bench}
runs=${RUNS:-5}
n=${1:-16000000}

build=$root/build/bench
(cd "$root" && cmake --preset bench >/dev/null && cmake --build --preset bench >/dev/null)
admin=$build/velvarin-admin
runner=$build/bench/runner
dir=$work/$n
mkdir -p "$dir"
[ -s "$dir/ticket.txt" ] || "$build/bench/gen_tickets" "$n" 1 >"$dir/ticket.txt"
cd "$dir"
size=$(du -m ticket.txt | cut -f1)

# shellcheck source=bench/timing.sh
source "$root/bench/timing.sh"

peak_kib() {
  "$runner" peak "$admin" "$@" 2>&1 >/dev/null | tail -n 1
}

warm='cat ticket.txt copy.txt >/dev/null 2>&1 || true'
report_awk="mawk 'BEGIN{RS=\"\";FS=\"\n\"}{n[\$3]++;g[\$3]+=\$6;f[\$3]+=\$9}END{for(m in n)print m,n[m],g[m],f[m]}' ticket.txt >/dev/null"
csv_awk="mawk 'BEGIN{RS=\"\";FS=\"\n\";OFS=\",\"}{\$1=\$1;print}' ticket.txt >/dev/null"
# The cancel removes the one booking numbered 1234 on its line; each run
# starts from a fresh copy.
line=$(grep -n -x -m 1 1234 ticket.txt | cut -d: -f1)
fresh='cp ticket.txt copy.txt && sync copy.txt'

row() {  # case, velvarin-admin command, reference command, limit, peak-memory arguments...
  local name=$1 mine=$2 theirs=$3 limit=$4 before=$warm
  shift 4
  [[ $mine == *copy.txt* ]] && before=$fresh
  local a b
  read -r a b < <(paired_medians "$before" "$mine" "$warm" "$theirs")
  bash -c "$before"
  printf '| %s | %s s | %s s | %.3f | %s | %s KiB |\n' "$name" "$a" "$b" \
    "$(echo "$a $b" | awk '{print $1 / $2}')" "$limit" "$(peak_kib "$@")"
}

echo "ticket file: $n bookings, $size MB"
echo
echo "| case | velvarin-admin (median) | reference (median) | ratio | target | peak memory |"
echo "|---|---|---|---|---|---|"
# wc -l counts the file's line breaks with AVX2: near what any reader of
# every byte can do.
lines='wc -l ticket.txt >/dev/null'
row "report --by movie vs wc -l" "$admin report >/dev/null" "$lines" "3" report
row "check vs wc -l" "$admin check >/dev/null" "$lines" "3" check
row "list --format csv vs wc -l" "$admin list --format csv >/dev/null" "$lines" "4" \
  list --format csv
row "report --by movie vs mawk report" "$admin report >/dev/null" "$report_awk" "0.1" report
row "list --format csv vs mawk join" "$admin list --format csv >/dev/null" "$csv_awk" "0.2" \
  list --format csv
row "check vs mawk report" "$admin check >/dev/null" "$report_awk" "0.15" check
row "cancel one booking vs cp and sync" \
  "$admin -f copy.txt cancel 1234 --line $line >/dev/null" \
  "cp ticket.txt copy2.txt && sync copy2.txt" "1.5" -f copy.txt cancel 1234 --line "$line"
rm -f copy.txt copy2.txt
