#!/usr/bin/env bash
# Builds a benchmark corpus (58% text, 30% incompressible, 12% as 5,000 small
# files of 1 to 20 KiB), archives it with Info-ZIP zip (Deflate, stored) and
# optionally 7-Zip (AES-256, AES-128) and zip -P (PKZIP classic), then times
# zaunzip against bsdtar, Info-ZIP unzip and 7-Zip extracting the same
# archives to tmpfs, side by side, and prints the ratio table.
#
#   bench/compare_extract.sh [BUILD_DIR]      (default: build)
# Environment: SCALE (corpus size factor, default 1 = about 436 MB),
#              RUNS (best of, default 3), WORK (default /dev/shm/za-bench),
#              SETS (default "deflate stored aes256 aes128 classic").
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
zaunzip=$build/bin/zaunzip
[ -x "$zaunzip" ] || { echo "no $zaunzip: build first" >&2; exit 1; }
SCALE=${SCALE:-1}
RUNS=${RUNS:-3}
WORK=${WORK:-/dev/shm/za-bench}
SETS=${SETS:-"deflate stored aes256 aes128 classic"}
PW=benchpass
mkdir -p "$WORK"
corpus=$WORK/corpus-$SCALE
if [ ! -d "$corpus" ]; then
  echo "building corpus in $corpus" >&2
  python3 "$root/bench/make_corpus.py" "$corpus" "$SCALE"
fi
arch=$WORK/arch-$SCALE
mkdir -p "$arch"
make_archive() {
  local set=$1 out=$arch/$1.zip
  [ -f "$out" ] && return
  echo "archiving $set" >&2
  (cd "$corpus" && case $set in
    deflate) zip -q -r -6 "$out" . ;;
    stored)  zip -q -r -0 "$out" . ;;
    classic) zip -q -r -6 -P "$PW" "$out" . ;;
    aes256)  7zz a -bd -bso0 -tzip -mem=AES256 -p"$PW" "$out" . ;;
    aes128)  7zz a -bd -bso0 -tzip -mem=AES128 -p"$PW" "$out" . ;;
  esac)
}
total=$(du -sb "$corpus" | cut -f1)
best() { # prints the best wall time in seconds of RUNS runs of "$@" into a fresh folder
  local b=
  for _ in $(seq "$RUNS"); do
    rm -rf "$WORK/out"; mkdir -p "$WORK/out"
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "FAILED: $*" >&2; echo "nan"; return; }
    t1=$(date +%s.%N)
    local t; t=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
  done
  echo "$b"
}
printf '%-8s %-10s %10s %10s %8s\n' set tool seconds MB/s ratio
for set in $SETS; do
  make_archive "$set"
  a=$arch/$set.zip
  pwopt=(); upw=(); spw=(); bpw=()
  case $set in aes*|classic) pwopt=(-P "$PW"); upw=(-P "$PW"); spw=(-p"$PW"); bpw=(--passphrase "$PW");; esac
  tz=$(best "$zaunzip" -q -o "${pwopt[@]}" -d "$WORK/out" "$a")
  declare -A t=()
  t[zaunzip]=$tz
  case $set in aes*) ;; *) t[unzip]=$(best unzip -qq -o "${upw[@]}" "$a" -d "$WORK/out");; esac
  t[bsdtar]=$(best bsdtar "${bpw[@]}" -xf "$a" -C "$WORK/out")
  t[7zz]=$(best 7zz x -bd -bso0 -y "${spw[@]}" -o"$WORK/out" "$a")
  for tool in zaunzip bsdtar unzip 7zz; do
    [ -n "${t[$tool]:-}" ] || continue
    v=${t[$tool]}
    if [ "$v" = nan ]; then printf '%-8s %-10s %10s\n' "$set" "$tool" failed; continue; fi
    mbs=$(echo "$total / $v / 1000000" | bc -l)
    ratio=$(echo "$v / $tz" | bc -l)
    printf '%-8s %-10s %10.3f %10.1f %8.2f\n' "$set" "$tool" "$v" "$mbs" "$ratio"
  done
  unset t
done
echo "(ratio = tool time / zaunzip time; above 1 means zaunzip is faster)"
