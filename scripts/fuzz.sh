#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/*_fuzz.cc) with clang, libFuzzer, ASan and
# UBSan in build-fuzz/ and runs them for N seconds in all (default 30),
# shared evenly between the targets.
#   scripts/fuzz.sh          30 seconds
#   scripts/fuzz.sh 600      ten minutes
# KEL_FUZZ_TARGETS="values_fuzz" picks targets; KEL_FUZZ_BUILD_DIR moves
# the build directory.
set -euo pipefail
seconds="${1:-30}"
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KEL_FUZZ_BUILD_DIR:-$here/build-fuzz}"

if [ -n "${KEL_FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<< "$KEL_FUZZ_TARGETS"
else
  targets=()
  for source in "$here"/fuzz/*_fuzz.cc; do
    [ -e "$source" ] || continue
    name="$(basename "$source" .cc)"
    targets+=("$name")
  done
fi
if [ "${#targets[@]}" -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets" >&2
  exit 0
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$here" -B "$build" -G Ninja -DKEL_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" --target "${targets[@]}" -j "${KEL_FUZZ_JOBS:-2}"

each=$(( seconds / ${#targets[@]} ))
[ "$each" -ge 1 ] || each=1
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  echo "fuzz.sh: $target for $each s"
  UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
    "$build/bin/$target" -max_total_time="$each" -max_len=1024 -timeout=10 \
    -rss_limit_mb=1536 -print_final_stats=1 "$corpus"
done
