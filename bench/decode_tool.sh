#!/bin/bash
# vantrel-decode against the reference command-line decoders, whole process
# (start, read, decode, write), on the same files: PNG against a minimal
# libpng program, JPEG against djpeg, Vorbis against oggdec. Each figure is
# the median of 5 runs, ours and the reference taking turns: wall time and
# the process's CPU time (user + system).
# Targets (ours / reference): PNG <= 0.7, JPEG <= 1.3, Vorbis <= 0.8.
# Usage: bench/decode_tool.sh [BUILD_DIR]   (a Release build with the tools
# and benchmarks; djpeg and oggdec from libjpeg-turbo-progs and vorbis-tools)
set -eu
build=$(cd "${1:-build}" && pwd)
decode=$build/tools/decode/vantrel-decode
for tool in "$decode" "$build/bench/decode_tool/png_to_pam" "$build/bench/decode_tool/decode_tool_inputs"; do
  [ -x "$tool" ] || { echo "missing $tool: build the tools and benchmarks first" >&2; exit 1; }
done
for tool in djpeg oggdec; do
  command -v $tool >/dev/null || { echo "missing $tool" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/decode_tool/decode_tool_inputs" "$work"

runs=5
perf=$(command -v perf || true)
[ -n "$perf" ] && ! "$perf" stat -x, -e task-clock -- true >/dev/null 2>&1 && perf=""
# "WALL CPU" of one run of the command in microseconds: wall clock, and the
# CPU time of the process (steadier when the machine is shared), from perf's
# task clock and its own clock of the process's lifetime when perf is there
# (perf's start-up, some 30 ms, must not count as the command's), else from
# the shell's clock and its tick-based count.
run_us() {
  local start=$EPOCHREALTIME cpu
  if [ -n "$perf" ]; then
    local counts wall_ns
    counts=$("$perf" stat -x, -e task-clock,duration_time -- "$@" 2>&1 >/dev/null)
    local end=$EPOCHREALTIME
    cpu=$(echo "$counts" | grep task-clock | cut -d, -f1)
    wall_ns=$(echo "$counts" | grep duration_time | cut -d, -f1)
    case $wall_ns in
      ''|*[!0-9]*) wall_ns=$(( (${end/./} - ${start/./}) * 1000 )) ;;
    esac
    echo "$(( wall_ns / 1000 )) $(echo "$cpu * 1000 / 1" | bc)"
    return
  fi
  cpu=$( ("$@" >/dev/null; times) | tail -n 1)
  local end=$EPOCHREALTIME
  # times says "0m0.123s 0m0.004s" for the children: user then system.
  local user=${cpu%% *} sys=${cpu##* }
  echo "$(( ${end/./} - ${start/./} )) $(( $(to_us "$user") + $(to_us "$sys") ))"
}

to_us() {
  local m=${1%%m*} s=${1#*m}
  s=${s%s}
  echo $(( m * 60000000 + 10#${s%.*} * 1000000 + 10#${s#*.} * 1000 ))
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }

ms() { echo "scale=1; $1 / 1000" | bc; }

# compare NAME TARGET -- OURS... -- REFERENCE...
compare() {
  local name=$1 target=$2
  shift 3
  local ours=() reference=()
  while [ "$1" != "--" ]; do ours+=("$1"); shift; done
  shift
  reference=("$@")
  "${ours[@]}" >/dev/null && "${reference[@]}" >/dev/null  # warm the caches, check both run
  local wall_ours=() cpu_ours=() wall_ref=() cpu_ref=() r
  for _ in $(seq $runs); do
    r=($(run_us "${ours[@]}"))
    wall_ours+=("${r[0]}")
    cpu_ours+=("${r[1]}")
    r=($(run_us "${reference[@]}"))
    wall_ref+=("${r[0]}")
    cpu_ref+=("${r[1]}")
  done
  local wo wr co cr
  wo=$(median "${wall_ours[@]}")
  wr=$(median "${wall_ref[@]}")
  co=$(median "${cpu_ours[@]}")
  cr=$(median "${cpu_ref[@]}")
  printf '%-7s wall: ours %7s ms, reference %7s ms, ratio %s   cpu: ours %7s ms, reference %7s ms, ratio %s   (target <= %s)\n' \
    "$name" "$(ms "$wo")" "$(ms "$wr")" "$(echo "scale=2; $wo / $wr" | bc)" \
    "$(ms "$co")" "$(ms "$cr")" "$(echo "scale=2; $co / $cr" | bc)" "$target"
}

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
compare png 0.7 -- "$decode" image "$work/photo.png" "$work/ours.pam" \
  -- "$build/bench/decode_tool/png_to_pam" "$work/photo.png" "$work/reference.pam"
compare jpeg 1.3 -- "$decode" image "$work/photo.jpg" "$work/ours.pam" \
  -- djpeg -outfile "$work/reference.ppm" "$work/photo.jpg"
compare vorbis 0.8 -- "$decode" audio "$work/music.ogg" "$work/ours.wav" \
  -- oggdec --quiet -o "$work/reference.wav" "$work/music.ogg"
