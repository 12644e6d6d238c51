#!/usr/bin/env bash
# Runs the fuzz targets built in a folder, each for a bounded time:
#   fuzz/run.sh <build folder> <seconds per target> [target ...]
# The corpus grows in <build folder>/corpus/<target>; a crashing input is kept in
# <build folder>/artifacts/. Exits 1 when any target found a crash, a sanitizer report
# or a broken property, and 77 (skipped) when the targets are not built, which is the
# case on a machine without clang.
set -u
dir=$1
seconds=$2
shift 2
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(design_file settings inventory request_file)
src=$(cd "$(dirname "$0")" && pwd)

if [ ! -x "$dir/velmora_fuzz_seeds" ]; then
  echo "fuzz targets not built in $dir (clang missing?): skipped"
  exit 77
fi
"$dir/velmora_fuzz_seeds" "$dir/seeds" || exit 1
mkdir -p "$dir/artifacts"

declare -A max_len=([design_file]=16384 [settings]=4096 [inventory]=2048 [request_file]=4096)
status=0
ran=0
for t in "${targets[@]}"; do
  bin="$dir/velmora_fuzz_$t"
  [ -x "$bin" ] || continue
  ran=$((ran + 1))
  mkdir -p "$dir/corpus/$t" "$dir/seeds/$t"
  extra=()
  [ -f "$src/$t.dict" ] && extra+=("-dict=$src/$t.dict")
  echo "== $t: ${seconds} s"
  if ! "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="${max_len[$t]:-4096}" \
      -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t-" "${extra[@]}" \
      "$dir/corpus/$t" "$dir/seeds/$t"; then
    echo "== $t: FAILED (see $dir/artifacts/)"
    status=1
  fi
done
[ $ran -eq 0 ] && { echo "none of the targets is built: skipped"; exit 77; }
exit $status
