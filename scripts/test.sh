#!/usr/bin/env bash
# Builds Kalix with AddressSanitizer and UndefinedBehaviorSanitizer in its own
# build folder, checks that every header the sources include comes from a
# package the set-up scripts install, runs every test through CTest, then runs
# each fuzz target for a short, bounded time when clang is present, and builds
# the Debian package (Release) and checks it. Exits non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_TEST_PACKAGES[@]}" \
  "${KALIX_PACKAGE_PACKAGES[@]}" "${KALIX_PACKAGE_TEST_PACKAGES[@]}"

jobs=$(nproc 2>/dev/null || echo 2)
build="$root/build-test"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DKALIX_SANITIZE=ON >/dev/null
# Every header the sources include comes from a package the scripts install.
python3 "$root/scripts/check-includes.py" --build "$build"
cmake --build "$build" -j "$jobs"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs")

# The Debian package, from a Release build of its own, installed into a
# scratch root and checked.
deb=$(bash "$root/scripts/package.sh" | tail -1)
bash "$root/tests/package/check_package.sh" "$deb"

if command -v clang++ >/dev/null 2>&1; then
  fuzzbuild="$root/build-fuzz"
  CXX=clang++ cmake -S "$root" -B "$fuzzbuild" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKALIX_FUZZ=ON -DKALIX_GUI=OFF >/dev/null
  cmake --build "$fuzzbuild" -j "$jobs"
  seconds=${KALIX_FUZZ_SECONDS:-20}
  for target in "$fuzzbuild"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$fuzzbuild/corpus-$name"
    mkdir -p "$corpus"
    seeds="$root/fuzz/seeds/${name#fuzz_}"
    echo "Fuzzing $name for ${seconds}s"
    args=("$corpus")
    [ -d "$seeds" ] && args+=("$seeds")
    "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 \
      "${args[@]}" >"$fuzzbuild/$name.log" 2>&1 || { tail -50 "$fuzzbuild/$name.log"; exit 1; }
  done
else
  echo "clang++ not found: fuzz targets skipped"
fi
echo "All tests passed."
