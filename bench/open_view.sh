#!/usr/bin/env bash
# Opening and displaying a generated rich-text document of SIZE_MB (default
# 20) in the main window against a bare QPlainTextEdit showing the same text:
# time to the first paint of the text and peak memory, three runs of each,
# on the offscreen platform.
#
#   bench/open_view.sh [SIZE_MB]
#
# Builds a Release open_view in build-bench-window/ (the window benchmarks' own
# folder: the command-line benchmarks configure build-bench/ without the
# window). make-corpus.py is looked up in $KALIX_SHARED/bench, else in
# ../shared/bench or ../../shared/bench.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_BENCH_PACKAGES[@]}"
size=${1:-20}
build="$root/build-bench-window"
generator=""
for dir in "${KALIX_SHARED:-}" "$root/../shared" "$root/../../shared"; do
  if [ -n "$dir" ] && [ -f "$dir/bench/make-corpus.py" ]; then generator="$dir/bench/make-corpus.py"; break; fi
done
[ -n "$generator" ] || { echo "make-corpus.py not found (set KALIX_SHARED)" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF -DKALIX_GUI=ON -DKALIX_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target open_view >/dev/null

data="$build/bench-data"
mkdir -p "$data"
doc="$data/big-$size.rtf"
[ -f "$doc" ] || python3 "$generator" rtf "$doc" "$size"

export QT_QPA_PLATFORM=offscreen
for run in 1 2 3; do
  for mode in main bare; do
    "$build/bench/open_view" "$mode" "$doc"
  done
done
