#!/usr/bin/env bash
# Attested variants, collocates and n-grams: speed and memory.
#
# On a generated plain-text document of SIZE_MB (default 100):
# 1. `variants --level 3 --attested DOC -- ensemble` beside the generated
#    search of the same variants (`search --spelling 3 --level 3 --string
#    ensemble --summary`). Target: at most 1.2 x the search.
# 2. `collocates --string chat --left 5 --right 5` beside
#    `search --string chat --summary`. Target: at most 2 x the search.
# 3. `ngrams --size 2` (the bigrams of the whole text) beside the full word
#    list `words --no-refs`, and its peak memory (/usr/bin/time -v).
#    Targets: at most 1 x the word list; at most the text's size + 24 bytes
#    per word + 30 MB.
#
#   bench/stats.sh [SIZE_MB]
#
# Builds a Release kalix-cli in build-bench-stats/ (no tests, no GUI). The
# data generator make-corpus.py is looked up in $KALIX_SHARED/bench, else in
# ../shared/bench or ../../shared/bench beside the source tree.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_BENCH_PACKAGES[@]}"
size=${1:-100}
build="$root/build-bench-stats"
generator=""
for dir in "${KALIX_SHARED:-}" "$root/../shared" "$root/../../shared"; do
  if [ -n "$dir" ] && [ -f "$dir/bench/make-corpus.py" ]; then generator="$dir/bench/make-corpus.py"; break; fi
done
[ -n "$generator" ] || { echo "make-corpus.py not found (set KALIX_SHARED)" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is needed" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF -DKALIX_GUI=OFF >/dev/null
cmake --build "$build" -j2 --target kalix-cli >/dev/null
cli="$build/kalix-cli -R $root/samples/nac.rul"

data="$build/bench-data"
mkdir -p "$data"
doc="$data/big-$size.txt"
[ -f "$doc" ] || python3 "$generator" txt "$doc" "$size"
runs=${KALIX_BENCH_RUNS:-3}

$cli variants --level 3 "ensemble" | wc -l | sed 's/^/variants of ENSEMBLE at level 3: /'
$cli search --string chat --summary "$doc"
hyperfine --warmup 1 --runs "$runs" --export-json "$data/stats.json" \
  -n attested "$cli variants --level 3 --attested $doc -- ensemble > /dev/null" \
  -n generated-search "$cli search --spelling 3 --level 3 --string ensemble --summary $doc" \
  -n collocates "$cli collocates --string chat --left 5 --right 5 $doc > /dev/null" \
  -n chat-search "$cli search --string chat --summary $doc" \
  -n bigrams "$cli ngrams --size 2 $doc > /dev/null" \
  -n words-full "$cli words --no-refs $doc > /dev/null"
peak_kb=$(/usr/bin/time -v $cli ngrams --size 2 "$doc" 2>&1 >/dev/null |
  awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}')
words=$($cli words --summary "$doc" | tr -d '\r' | sed -n 's/.*Occurrences : \([0-9]*\).*/\1/p')
text_bytes=$(stat -c %s "$doc")

python3 - "$data/stats.json" "$peak_kb" "$words" "$text_bytes" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
peak_kb, words, text_bytes = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
def line(a, b, target):
    print(f"{a} {r[a]['mean']:.3f} s, {b} {r[b]['mean']:.3f} s: {r[a]['mean']/r[b]['mean']:.2f} (target <= {target})")
line("attested", "generated-search", "1.20")
line("collocates", "chat-search", "2.00")
line("bigrams", "words-full", "1.00")
bound = text_bytes + 24 * words + 30 * 2**20
print(f"  bigrams peak memory {peak_kb/1024:.0f} MB for {words} words, bound {bound/2**20:.0f} MB "
      f"(text + 24 B a word + 30 MB): {peak_kb*1024/bound:.2f} of it")
PY
