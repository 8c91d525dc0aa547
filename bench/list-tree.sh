#!/bin/sh
# Times discovery against `find DIR -type f | sort` on a tree of 20,000 files in 2,000 folders.
# Usage: bench/list-tree.sh [BUILD_DIR]   (default out; times the built vardel -l too)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/out}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/list-tree-XXXXXX")
trap 'rm -rf "$work"' EXIT
tree=$work/tree

for a in $(seq -w 0 19); do
  for b in $(seq -w 0 99); do
    dir=$tree/d$a/s$b
    mkdir -p "$dir"
    (cd "$dir" && touch file0.json file1.json file2.json file3.json file4.json file5.json \
      file6.json file7.json file8.json notes9.txt)
  done
done

cd "$work"
find tree -type f | sort >/dev/null  # warm the caches
runs=20
time_it() {
  start=$(date +%s%N)
  i=0
  while [ $i -lt $runs ]; do
    eval "$1" >/dev/null
    i=$((i + 1))
  done
  end=$(date +%s%N)
  echo "$1: $(( (end - start) / runs / 1000 )) us per run"
}
time_it "find tree -type f | sort"
time_it "find tree -type f | LC_ALL=C sort"
if [ -x "$build/src/vardel/vardel" ]; then
  time_it "$build/src/vardel/vardel -l tree"
fi

VARDEL_BENCH_TREE=$tree "$build/bench/vardel_discovery_bench" --benchmark_filter='FindJsonFiles|Walk'
