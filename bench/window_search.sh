#!/usr/bin/env bash
# A search from the main window against kalix-cli on the same document, side
# by side: CHAT in "Modifiée", context "Texte", on the generated rich text of
# SIZE_MB (default 20). The window's time runs from OK in the search dialog
# to the status line set, the grid filled and the first screen highlighted
# and painted (the document is already open, as it is when the user searches);
# the command's time is the whole `kalix-cli search --string chat --json DOC
# > /dev/null` (reading the document included). RUNS (default 5) of each,
# alternated; prints each run, then the medians and their ratio.
#
#   bench/window_search.sh [SIZE_MB] [RUNS]
#
# Builds Release binaries in build-bench-window/ (the window benchmarks' own
# folder: the command-line benchmarks configure build-bench/ without the
# window). make-corpus.py is looked up in $KALIX_SHARED/bench, else in
# ../shared/bench or ../../shared/bench.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_BENCH_PACKAGES[@]}"
size=${1:-20}
runs=${2:-5}
build="$root/build-bench-window"
generator=""
for dir in "${KALIX_SHARED:-}" "$root/../shared" "$root/../../shared"; do
  if [ -n "$dir" ] && [ -f "$dir/bench/make-corpus.py" ]; then generator="$dir/bench/make-corpus.py"; break; fi
done
[ -n "$generator" ] || { echo "make-corpus.py not found (set KALIX_SHARED)" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF -DKALIX_GUI=ON -DKALIX_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target window_search kalix-cli >/dev/null

data="$build/bench-data"
mkdir -p "$data"
doc="$data/big-$size.rtf"
[ -f "$doc" ] || python3 "$generator" rtf "$doc" "$size"
rules="$root/samples/nac.rul"

export QT_QPA_PLATFORM=offscreen
win=()
cli=()
for run in $(seq "$runs"); do
  line=$("$build/bench/window_search" "$rules" "$doc" chat 1)
  echo "$line"
  win+=("$(sed -E 's/.*window_ms=([0-9]+).*/\1/' <<<"$line")")
  start=$(date +%s%N)
  "$build/kalix-cli" -R "$rules" search --string chat --json "$doc" > /dev/null
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  echo "cli_ms=$ms"
  cli+=("$ms")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
mw=$(median "${win[@]}")
mc=$(median "${cli[@]}")
echo "median window_ms=$mw cli_ms=$mc ratio=$(awk -v a="$mw" -v b="$mc" 'BEGIN {printf "%.2f", a / b}')"
