#!/bin/sh
# Whole-process timing of kalix-cli search with its occurrences exported,
# against the same search with only its status line.
#
#   bench/export.sh [DATA-DIR]
#
# Builds kalix-cli in Release in build-bench/ (its own folder), makes the
# 100 MB plain-text document with ../shared/bench/make-corpus.py when
# missing, and runs hyperfine once over:
#   - CHAT, spelling 2, context 0, --summary         (the search itself)
#   - the same, --format csv --output FILE           (target: export <= 1 x the search)
#   - the same, --format xlsx --output FILE          (target: export <= 4 x the search)
# where "export" is a run's time less the search's: wall time (the targets),
# then processor time, which a machine busy with other work changes less.
# Peak memory of each case follows (GNU time); the export's target is at
# most 64 MB above the search.
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
out="$build/export-out"
mkdir -p "$out"

search="$cli -R $rules search --string chat --spelling 2 --context 0 --summary $data/big.txt"
csv="$cli -R $rules search --string chat --spelling 2 --context 0 --format csv --output $out/chat.csv $data/big.txt"
xlsx="$cli -R $rules search --string chat --spelling 2 --context 0 --format xlsx --output $out/chat.xlsx $data/big.txt"

hyperfine --warmup 1 --runs ${RUNS:-5} --export-json "$build/export.json" \
  -n "search" "$search" \
  -n "csv" "$csv" \
  -n "xlsx" "$xlsx"

python3 - "$build/export.json" <<'PY'
import json, sys
runs = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
for name, target in [("csv", 1.0), ("xlsx", 4.0)]:
    for key in ("mean", "median"):
        s = runs["search"][key]
        e = runs[name][key] - s
        print(f"{name} export / search ({key}): {e:.2f} s / {s:.2f} s = {e / s:.2f} (target <= {target})")
    # Processor time (user + system, mean): what the run costs whatever
    # else the machine is doing. The export runs on two threads, so on a
    # machine with two idle cores its wall time is about half of this.
    cpu = lambda r: r["user"] + r["system"]
    s = cpu(runs["search"])
    e = cpu(runs[name]) - s
    print(f"{name} export / search (processor time): {e:.2f} s / {s:.2f} s = {e / s:.2f}")
PY

base=""
for cmd in "$search" "$csv" "$xlsx"; do
  /usr/bin/time -f "%M" -o "$build/peak.txt" $cmd >/dev/null
  peak=$(cat "$build/peak.txt")
  echo "peak $peak KiB: $cmd"
  if [ -z "$base" ]; then
    base=$peak
  else
    echo "  above the search: $(( (peak - base) / 1024 )) MiB (target <= 64)"
  fi
done
ls -l "$out"
