#!/bin/sh
# Whole-process timing of kalix-cli search against `wc -w` on the same text.
#
#   bench/search.sh [DATA-DIR]
#
# Builds kalix-cli in Release in build-bench/ (its own folder), makes the data
# with ../shared/bench/make-corpus.py when missing (a 100 MB plain-text
# document and a corpus of 50 documents of 2 MB), and runs hyperfine once
# over every case, so the ratios compare runs of one session:
#   - CHAT, spelling 2, context 0                       (target <= 0.5 x wc -w)
#   - twenty strings, context 2, "Toutes les chaines"   (target <= 1.5 x wc -w)
#   - spelling 3 at level 3 (192 variants of ENSEMBLE)  (target <= 3 x wc -w)
#   - CHAT over the corpus of 50 x 2 MB                 (target <= 1.2 x the 100 MB run)
# Peak memory of each case is printed after the timings (GNU time).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_BENCH_PACKAGES[@]}"
data=${1:-"$here/build-bench/data"}
maker=${KALIX_MAKE_CORPUS:-"$here/../../shared/bench/make-corpus.py"}
[ -f "$maker" ] || maker=/work/shared/bench/make-corpus.py

build=${KALIX_BENCH_BUILD:-"$here/build-bench"}
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_GUI=OFF -DKALIX_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target kalix-cli >/dev/null
cli="$build/kalix-cli"
rules="$here/samples/nac.rul"

mkdir -p "$data"
[ -f "$data/big.txt" ] || python3 "$maker" txt "$data/big.txt" 100
[ -f "$data/corpus/corpus.cor" ] || python3 "$maker" corpus "$data/corpus" 50 2

twenty=""
for s in roi chat mai mon par que qui les des est eau ou oi re ri ra du en un in; do
  twenty="$twenty --string $s"
done

chat="$cli -R $rules search --string chat --spelling 2 --context 0 --summary $data/big.txt"
many="$cli -R $rules search $twenty --context 2 --summary $data/big.txt"
gen="$cli -R $rules search --string ensemble --spelling 3 --level 3 --summary $data/big.txt"
corpus="$cli -R $rules search --string chat --spelling 2 --context 0 --summary --corpus $data/corpus/corpus.cor"

hyperfine --warmup 1 --runs ${RUNS:-5} --export-markdown "$build/search.md" --export-json "$build/search.json" \
  -n "wc -w" "LC_ALL=C wc -w $data/big.txt" \
  -n "chat" "$chat" \
  -n "twenty strings, context 2" "$many" \
  -n "generated, level 3" "$gen" \
  -n "corpus 50 x 2 MB" "$corpus"

# The ratios of the targets, from means and from medians (a run now and then
# takes much longer in the kernel on a busy machine; the median shows the
# usual run).
python3 - "$build/search.json" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
def ratio(a, b, key):
    return runs[a][key] / runs[b][key]
for name, base, target in [("chat", "wc -w", 0.5), ("twenty strings, context 2", "wc -w", 1.5),
                           ("generated, level 3", "wc -w", 3.0), ("corpus 50 x 2 MB", "chat", 1.2)]:
    print(f"{name} / {base}: mean {ratio(name, base, 'mean'):.2f}, median {ratio(name, base, 'median'):.2f}"
          f" (target <= {target})")
PY

# Peak memory against the bound: the text, 64 bytes per occurrence and 30 MB
# (10^6 bytes each; GNU time reports KiB).
for cmd in "$chat" "$many" "$gen" "$corpus"; do
  status=$(/usr/bin/time -f "%M" -o "$build/peak.txt" $cmd | tr -d '\r')
  peak=$(cat "$build/peak.txt")
  occurrences=$(printf '%s' "$status" | sed -n 's/.*Occurrences : \([0-9]*\).*/\1/p')
  case $cmd in
    *--corpus*) text=$(cat "$data"/corpus/*.txt | wc -c) ;;  # the whole text searched
    *) text=$(wc -c <"$data/big.txt") ;;
  esac
  bound=$(( (text + 64 * occurrences + 30000000) / 1024 ))
  echo "peak $peak KiB, bound $bound KiB ($occurrences occurrences): $cmd"
done
