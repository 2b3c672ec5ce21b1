#!/usr/bin/env bash
# Longer fuzzing than ./run test gives: fuzz.sh [seconds per target, default 600]
# Runs every libFuzzer target of the sanitizer tree from its seeds; what a
# target finds stays in build/native-asan/tests/fuzz/found/<target>, and an
# input that makes it fail is written there as crash-*: add it to
# tests/fuzz/corpus/<target>/ once mended, so every test run replays it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
tree=$root/${ZT_BUILD_ROOT:-build}/native-asan
status=0
for fuzzer in "$tree"/tests/fuzz/fuzz_*; do
  [ -x "$fuzzer" ] || continue
  name=$(basename "$fuzzer")
  found=$tree/tests/fuzz/found/$name
  mkdir -p "$found"
  echo "== $name, $seconds s"
  (cd "$found" && "$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
     "$found" "$root/tests/fuzz/corpus/$name") || status=1
done
exit $status
