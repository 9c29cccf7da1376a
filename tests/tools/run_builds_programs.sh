#!/usr/bin/env bash
# The target run.sh builds yields every program the README and docs/application.md then use, and the
# settings dialogs the telephony service starts.
set -euo pipefail
source_dir=$1
build_dir=$2
target=$(grep -o -- '--target [A-Za-z0-9_-]*' "$source_dir/run.sh" | awk '{ print $2 }')
[[ -n $target ]] || { echo "run.sh names no build target"; exit 1; }
# The target's direct inputs: one indented path a line.
inputs=$(ninja -C "$build_dir" -t query "$target" | sed -n 's/^    //p')
used=$(grep -ho 'build/bin/[A-Za-z0-9_.-]*[A-Za-z0-9]' "$source_dir/README.md" "$source_dir/docs/application.md" | sort -u)
status=0
for path in $used build/bin/kestrium build/bin/tapi-settings; do
  if ! grep -qx "bin/${path#build/bin/}" <<<"$inputs"; then
    echo "run.sh builds \"$target\", which does not yield $path"
    status=1
  fi
done
exit $status
