# Sourced by the benchmark scripts; $runs is how many runs to take.

# The seconds that `bash -c "$2"` and `bash -c "$4"` take, the medians of
# $runs runs each, taken in turn so that both see the machine alike, each
# after `bash -c "$1"` or `bash -c "$3"` (not timed).
paired_medians() {
  local i side start end
  for ((i = 0; i < runs; i++)); do
    for side in 1 2; do
      if [ "$side" = 1 ]; then bash -c "$1"; else bash -c "$3"; fi
      start=$(date +%s%N)
      if [ "$side" = 1 ]; then bash -c "$2"; else bash -c "$4"; fi
      end=$(date +%s%N)
      echo "$side $(((end - start) / 1000))"
    done
  done | sort -k1,1n -k2,2n | awk '{t[$1, ++n[$1]] = $2}
    END {printf "%.4f %.4f\n", t[1, int((n[1] + 1) / 2)] / 1e6, t[2, int((n[2] + 1) / 2)] / 1e6}'
}
