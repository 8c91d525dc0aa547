#!/usr/bin/env bash
# Times vardel against its peer tools on a generated corpus, whole process by whole process, and
# prints one table: the medians, how vardel compares with the peer, the peak memory of both and
# the target each row has.
#
# Usage: bench/compare-peers.sh CORPUS_DIR
#
# Needs:
#   CORPUS_DIR   a corpus written by make-corpus.py (the shared bench folder has it); its absolute
#                path must hold none of the names vardel skips ("build", "target", "vendor", ...)
#   VARDEL       the vardel binary (default: out/src/vardel/vardel of this repository)
#   PEERS_DIR    the folder setup-peers.sh filled: bin/simdjson-check and node_modules/ with
#                json5, ajv-cli and ajv-formats (default: /work/peers)
#   PEER_SCRIPTS the folder holding json5-check.js, the driver that runs the json5 package's
#                parser over many files in one node process (default: the peers/ folder beside
#                make-corpus.py, $BENCH_DIR/peers, BENCH_DIR defaulting to /work/shared/bench)
#   hyperfine, node, GNU time (/usr/bin/time), python3, find, sort
# Knobs: RUNS (timed runs per command, default 10), WARMUP (default 2), ONLY (an extended regex
# on the row names, e.g. ONLY='json5|schema').
#
# Not a test, and not run in CI: the figures depend on the machine and on what else runs on it.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
[ $# -eq 1 ] || { sed -n '2,22p' "$0" >&2; exit 2; }
corpus=$(cd "$1" && pwd)
VARDEL=${VARDEL:-$here/../out/src/vardel/vardel}
PEERS_DIR=${PEERS_DIR:-/work/peers}
BENCH_DIR=${BENCH_DIR:-/work/shared/bench}
PEER_SCRIPTS=${PEER_SCRIPTS:-$BENCH_DIR/peers}
RUNS=${RUNS:-10}
WARMUP=${WARMUP:-2}
ONLY=${ONLY:-}

vardel=$(cd "$(dirname "$VARDEL")" && pwd)/$(basename "$VARDEL")
simd=$PEERS_DIR/bin/simdjson-check
nm=$PEERS_DIR/node_modules
json5_check=$PEER_SCRIPTS/json5-check.js
ajv="$nm/.bin/ajv validate -c ajv-formats --strict=false"

missing=0
for f in "$vardel" "$simd" "$json5_check" "$nm/.bin/ajv" "$corpus/lists/tree.txt" \
         "$corpus/lists/json5.txt" "$corpus/big/records.json" "$corpus/json5/big/big.json5" \
         "$corpus/schema/big/items.json"; do
  if [ ! -e "$f" ]; then
    echo "missing: $f" >&2
    missing=1
  fi
done
for tool in hyperfine node python3 /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; missing=1; }
done
if [ "$missing" -ne 0 ]; then
  echo "make the corpus with $BENCH_DIR/make-corpus.py and the peers with" \
       "$BENCH_DIR/setup-peers.sh first" >&2
  exit 2
fi

export NODE_PATH=$nm
cd "$corpus"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A command runs as it is, without a shell, unless it holds a pipe, a redirection or a quote:
# then it runs from a script of its own.
n_scripts=0
runnable() {
  case $1 in
    *'|'* | *'>'* | *"'"*)
      n_scripts=$((n_scripts + 1))
      printf '%s\n' "$1" >"$work/cmd$n_scripts.sh"
      echo "bash $work/cmd$n_scripts.sh"
      ;;
    *) echo "$1" ;;
  esac
}

# The median wall time of a command in milliseconds; its exit status is not checked.
median_ms() {
  hyperfine -N -i --warmup "$WARMUP" --runs "$RUNS" --export-json "$work/run.json" "$1" \
    >/dev/null 2>&1
  python3 -c 'import json, sys; print("%.1f" % (json.load(open(sys.argv[1]))["results"][0]["median"] * 1000))' \
    "$work/run.json"
}

# The peak resident memory of a command in MiB.
peak_mib() {
  # shellcheck disable=SC2086  # the command is split into its words on purpose
  /usr/bin/time -f '%M' -o "$work/time.txt" $1 >/dev/null 2>&1 || true
  awk '{m = $1} END {printf "%.1f", m / 1024}' "$work/time.txt"
}

# row NAME VARDEL_COMMAND PEER_NAME PEER_COMMAND GOAL
# GOAL: "at-most X" (vardel's time at most X times the peer's) or "faster X" (vardel at least X
# times faster than the peer).
printf '| row | vardel ms | peer | peer ms | vardel/peer | vardel peak MiB | peer peak MiB | target | met |\n'
printf '|---|---:|---|---:|---:|---:|---:|---|---|\n'
row() {
  local name=$1 mine=$2 peer_name=$3 peer=$4 goal=$5
  if [ -n "$ONLY" ] && ! grep -Eq -- "$ONLY" <<<"$name"; then
    return
  fi
  local v p vm pm
  mine=$(runnable "$mine")
  peer=$(runnable "$peer")
  v=$(median_ms "$mine")
  p=$(median_ms "$peer")
  vm=$(peak_mib "$mine")
  pm=$(peak_mib "$peer")
  python3 - "$name" "$v" "$peer_name" "$p" "$vm" "$pm" "$goal" <<'EOF'
import sys
name, v, peer, p, vm, pm, goal = sys.argv[1:]
v, p = float(v), float(p)
kind, factor = goal.split()
factor = float(factor)
if kind == "at-most":
    target, met = f"<= {factor:g}x peer", v <= factor * p
else:
    target, met = f">= {factor:g}x faster", p >= factor * v
print(f"| {name} | {v:.1f} | {peer} | {p:.1f} | {v / p:.2f} | {vm} | {pm} | {target} | {'yes' if met else 'NO'} |")
EOF
}

row "vardel tree" "$vardel tree" "simdjson-check" "$simd --files-from lists/tree.txt" "at-most 1.5"
row "vardel -l tree" "$vardel -l tree" "find + sort" \
  "find tree -type f \\( -name '*.json' -o -name '*.eslintrc' -o -name '*.jsfmtrc' -o -name '*.jslintrc' -o -name '*.jshintrc' \\) | LC_ALL=C sort >/dev/null" \
  "at-most 2"
for b in records numbers strings; do
  row "vardel big/$b.json" "$vardel big/$b.json" "simdjson-check" "$simd big/$b.json" "at-most 1.5"
done
row "vardel -5 json5/files" "$vardel -5 json5/files" "json5 parser" \
  "node $json5_check --files-from lists/json5.txt" "faster 7"
row "vardel -5 json5/big/big.json5" "$vardel -5 json5/big/big.json5" "json5 parser" \
  "node $json5_check json5/big/big.json5" "faster 7"
row "vardel -s schema.json schema/docs" "$vardel -s schema/schema.json schema/docs" "ajv-cli" \
  "$ajv -s schema/schema.json -d schema/docs/**/*.json" "faster 4"
row "vardel -s items-schema.json big/items.json" \
  "$vardel -s schema/items-schema.json schema/big/items.json" "ajv-cli" \
  "$ajv -s schema/items-schema.json -d schema/big/items.json" "faster 4"

# Check mode keeps at most the largest file and 32 MiB more.
echo
printf '| check mode, peak memory | file MiB | vardel peak MiB | limit MiB | met |\n'
printf '|---|---:|---:|---:|---|\n'
for f in big/records.json json5/big/big.json5; do
  flag=
  case $f in *.json5) flag=-5 ;; esac
  if [ -n "$ONLY" ] && ! grep -Eq -- "$ONLY" <<<"peak $f"; then
    continue
  fi
  size=$(stat -c %s "$f")
  peak=$(peak_mib "$vardel $flag $f")
  python3 - "$f" "$size" "$peak" <<'EOF'
import sys
name, size, peak = sys.argv[1], int(sys.argv[2]) / 1048576, float(sys.argv[3])
met = "yes" if peak <= size + 32 else "NO"
print(f"| vardel {name} | {size:.1f} | {peak:.1f} | {size + 32:.1f} | {met} |")
EOF
done
