#!/usr/bin/env bash
# Fails when a source folder includes from a folder that is not below it:
# entry point, then dialogues, then the console and the ticket-file core.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A allowed=(
  [text]=""
  [tickets]="text"
  [console]="text"
  [booking]="console tickets text"
  [catalogue]="console text"
  [main]="booking catalogue console tickets text"
  [admin]="tickets text"
)
status=0
for dir in "${!allowed[@]}"; do
  while IFS=: read -r file line; do
    target=$(sed -E 's/^#include "([a-z_]+)\/.*/\1/' <<<"$line")
    if [ "$target" != "$dir" ] && [[ " ${allowed[$dir]} " != *" $target "* ]]; then
      echo "$file: $dir must not include from $target: $line" >&2
      status=1
    fi
  done < <(grep -H -E '^#include "[a-z_]+/' -r "src/$dir" || true)
done
for dir in src/*/; do
  name=$(basename "$dir")
  [ -n "${allowed[$name]+set}" ] || { echo "src/$name: a folder with no place in the layers" >&2; status=1; }
done
exit $status
