#!/bin/sh
# The target grid on the result of CHAT over a 100 MB text: the four sorts,
# selecting, stepping and scrolling at the start and at the end of the list,
# and the first screen of the concordance of a target of 100,000
# occurrences (medians, in milliseconds).
#
#   bench/targets.sh [DATA-DIR]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
data=${1:-"$here/build-bench/data"}
maker=${KALIX_MAKE_CORPUS:-"$here/../../shared/bench/make-corpus.py"}
[ -f "$maker" ] || maker=/work/shared/bench/make-corpus.py
build=${KALIX_BENCH_BUILD:-"$here/build-bench-ui"}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_BENCH=ON -DKALIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target targets_bench >/dev/null
mkdir -p "$data"
[ -f "$data/big.txt" ] || python3 "$maker" txt "$data/big.txt" 100
QT_QPA_PLATFORM=offscreen "$build/bench/targets_bench" "$data/big.txt" "$here/samples/nac.rul" CHAT
