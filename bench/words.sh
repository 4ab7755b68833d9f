#!/usr/bin/env bash
# Word list and report speed.
#
# 1. `kalix-cli words --summary` on a generated plain-text document of SIZE_MB
#    (default 100) beside a word count by tr | sort | uniq -c and beside
#    `LC_ALL=C wc -w`. Targets: at most 0.2 x the tr pipeline, at most
#    1.5 x wc -w.
# 2. The full word list, `kalix-cli words --no-refs` (every target built with
#    all its occurrences, as the window's grid and the report need them),
#    beside `LC_ALL=C tr -cs 'A-Za-z\300-\377' '\n' | LC_ALL=C sort | uniq -c`
#    in one hyperfine run, and its peak memory (/usr/bin/time -v, maximum
#    resident set). Targets: at most 0.5 x the pipeline; at most the text's
#    size + 24 bytes per occurrence + 30 MB.
# 3. The result report with sentence extracts of a search that finds about
#    100,000 occurrences ("roi", whole word, context "Phrase", on the same
#    document), beside the same search printing only its summary line.
#    Target: writing the report takes no longer than the search itself
#    (report run <= 2 x summary run).
#
#   bench/words.sh [SIZE_MB]
#
# Builds a Release kalix-cli in build-bench-words/ (no tests, no GUI). The
# data generator make-corpus.py is looked up in $KALIX_SHARED/bench, else in
# ../shared/bench or ../../shared/bench beside the source tree.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_BENCH_PACKAGES[@]}"
size=${1:-100}
build="$root/build-bench-words"
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
runs=${KALIX_BENCH_RUNS:-5}

hyperfine --warmup 1 --runs "$runs" --export-json "$data/words.json" \
  -n words "$cli words --summary $doc" \
  -n tr-sort-uniq "LC_ALL=C tr -cs 'A-Za-z\\300-\\377' '\\n' < $doc | sort | uniq -c > /dev/null" \
  -n wc "LC_ALL=C wc -w $doc"

hyperfine --warmup 1 --runs "$runs" --export-json "$data/words-full.json" \
  -n words-full "$cli words --no-refs $doc > /dev/null" \
  -n tr-sort-uniq-C "LC_ALL=C tr -cs 'A-Za-z\\300-\\377' '\\n' < $doc | LC_ALL=C sort | uniq -c > /dev/null"
full_peak_kb=$(/usr/bin/time -v $cli words --no-refs "$doc" 2>&1 >/dev/null |
  awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}')
occurrences=$($cli words --summary "$doc" | tr -d '\r' | sed -n 's/.*Occurrences : \([0-9]*\).*/\1/p')
text_bytes=$(stat -c %s "$doc")

search="search --string roi --position 4 --context 2"
hyperfine --warmup 1 --runs "$runs" --export-json "$data/report.json" \
  -n search-summary "$cli $search --summary $doc" \
  -n search-report "$cli $search --extracts sentences $doc > /dev/null"
$cli $search --summary "$doc"

python3 - "$data/words.json" "$data/report.json" "$data/words-full.json" "$full_peak_kb" "$occurrences" "$text_bytes" <<'PY'
import json, sys
w = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
r = {x["command"]: x for x in json.load(open(sys.argv[2]))["results"]}
f = {x["command"]: x for x in json.load(open(sys.argv[3]))["results"]}
peak_kb, occurrences, text_bytes = int(sys.argv[4]), int(sys.argv[5]), int(sys.argv[6])
def cpu(x): return x["user"] + x["system"]
words, pipe, wc = w["words"], w["tr-sort-uniq"], w["wc"]
print(f"words --summary {words['mean']:.3f} s, tr|sort|uniq {pipe['mean']:.3f} s, wc -w {wc['mean']:.3f} s")
print(f"  vs tr|sort|uniq: wall {words['mean']/pipe['mean']:.2f} (target <= 0.20), cpu {cpu(words)/cpu(pipe):.2f}")
print(f"  vs wc -w:        wall {words['mean']/wc['mean']:.2f} (target <= 1.50), cpu {cpu(words)/cpu(wc):.2f}")
full, pipeC = f["words-full"], f["tr-sort-uniq-C"]
print(f"words --no-refs {full['mean']:.3f} s, LC_ALL=C tr|sort|uniq {pipeC['mean']:.3f} s: "
      f"wall {full['mean']/pipeC['mean']:.2f} (target <= 0.50), cpu {cpu(full)/cpu(pipeC):.2f}")
bound = text_bytes + 24 * occurrences + 30 * 2**20
print(f"  peak memory {peak_kb/1024:.0f} MB for {occurrences} occurrences, bound {bound/2**20:.0f} MB "
      f"(text + 24 B an occurrence + 30 MB): {peak_kb*1024/bound:.2f} of it")
s, rep = r["search-summary"], r["search-report"]
extra = rep["mean"] - s["mean"]
print(f"search {s['mean']:.3f} s, search + report {rep['mean']:.3f} s: report {extra:.3f} s, "
      f"{extra/s['mean']:.2f} x the search (target <= 1.00)")
PY
