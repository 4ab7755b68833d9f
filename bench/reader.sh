#!/usr/bin/env bash
# Reader speed and memory: `kalix-cli text` on a generated rich-text document
# of SIZE_MB (default 20), timed with hyperfine beside `LC_ALL=C wc -w` on the
# same file, and its peak memory (/usr/bin/time -v) beside the text size.
# Targets: at most 0.5 x wc's time; at most twice the text size + 20 MB.
# Then the same for a generated plain-text document of TXT_MB (default 100),
# the kind of document the search benchmarks open.
#
#   bench/reader.sh [SIZE_MB [TXT_MB]]
#
# Builds a Release kalix-cli in build-release/ (no tests, no GUI). The data
# generator make-corpus.py is looked up in $KALIX_SHARED/bench, else in
# ../shared/bench or ../../shared/bench beside the source tree.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/scripts/deps.sh"
kalix_install_deps "${KALIX_BUILD_PACKAGES[@]}" "${KALIX_BENCH_PACKAGES[@]}"
size=${1:-20}
txt_size=${2:-100}
build="$root/build-release"
generator=""
for dir in "${KALIX_SHARED:-}" "$root/../shared" "$root/../../shared"; do
  if [ -n "$dir" ] && [ -f "$dir/bench/make-corpus.py" ]; then generator="$dir/bench/make-corpus.py"; break; fi
done
[ -n "$generator" ] || { echo "make-corpus.py not found (set KALIX_SHARED)" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is needed" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKALIX_TESTS=OFF -DKALIX_GUI=OFF >/dev/null
cmake --build "$build" -j2 --target kalix-cli >/dev/null
cli="$build/kalix-cli"

data="$build/bench-data"
mkdir -p "$data"
doc="$data/big-$size.rtf"
[ -f "$doc" ] || python3 "$generator" rtf "$doc" "$size"

# measure NAME DOCUMENT: timings beside wc -w, then peak memory.
measure() {
  local name=$1 doc=$2
  hyperfine --warmup 3 --runs "${KALIX_BENCH_RUNS:-20}" --export-json "$data/reader-$name.json" \
    "$cli text $doc > /dev/null" "LC_ALL=C wc -w $doc"

  local text_bytes peak_kb
  text_bytes=$("$cli" text "$doc" | wc -c)
  peak_kb=$(/usr/bin/time -v "$cli" text "$doc" 2>&1 >/dev/null | awk -F: '/Maximum resident/ {gsub(/ /, "", $2); print $2}')

  python3 - "$data/reader-$name.json" "$text_bytes" "$peak_kb" "$name" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
kalix, wc = results[0], results[1]
text_bytes, peak_kb, name = int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
ratio = kalix["mean"] / wc["mean"]
cpu = (kalix["user"] + kalix["system"]) / (wc["user"] + wc["system"])
limit_kb = (2 * text_bytes + 20 * 1024 * 1024) // 1024
print(f"{name} time: kalix-cli text {kalix['mean']*1000:.1f} ms, wc -w {wc['mean']*1000:.1f} ms, "
      f"ratio {ratio:.2f} (target <= 0.50; user+system ratio {cpu:.2f})")
print(f"{name} memory: peak {peak_kb} KB for a text of {text_bytes} bytes, limit {limit_kb} KB "
      f"({'ok' if peak_kb <= limit_kb else 'OVER'})")
PY
}

txt="$data/big-$txt_size.txt"
[ -f "$txt" ] || python3 "$generator" txt "$txt" "$txt_size"

measure rtf "$doc"
measure txt "$txt"
