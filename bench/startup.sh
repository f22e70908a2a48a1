#!/usr/bin/env bash
# Start-up and memory of the release build's mvsearch under Xvfb:
#  - the time from starting the program to its window being mapped, over several runs;
#  - its resident memory once the window is up and idle;
#  - the time a 50,000-result search takes to show its rows (from the click on 搜索 until
#    the rows are drawn), and the resident memory after it (stand-in --generate 50000).
#   bench/startup.sh [RUNS] [SEARCH_RUNS]      (defaults 10 and 3)
# MVSEARCH_BUILD_DIR names another build tree than build/release.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
runs=${1:-10}
search_runs=${2:-3}
results=50000
build=${MVSEARCH_BUILD_DIR:-$root/build/release}
program="$build/src/app/mvsearch"
standin="$build/tools/catalogue/mvsearch-catalogue"
probe="$build/tests/e2e/mvsearch-x11-probe"
for file in "$program" "$standin" "$probe"; do
  [[ -x $file ]] || { echo "startup: $file is missing; run scripts/build.sh release" >&2; exit 1; }
done
host=$(sed -n 's/^MVSEARCH_CATALOGUE_HOST:STRING=//p' "$build/CMakeCache.txt")

# shellcheck source=../scripts/lib/xvfb_session.sh
source "$root/scripts/lib/xvfb_session.sh"
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

start_xvfb

start_standin() {  # start_standin OPTIONS...: sets $port
  "$standin" --port 0 --quiet "$@" >"$work/port" &
  pids+=($!)
  wait_for 10 test -s "$work/port" || { echo "startup: the stand-in did not start" >&2; exit 1; }
  port=$(head -1 "$work/port")
}
stop_standin() {
  kill -TERM "${pids[-1]}"
  wait "${pids[-1]}" 2>/dev/null || true
  unset 'pids[-1]'
  : >"$work/port"
}

# launch: starts the program; sets $pid, $wid and $map_ms.
launch() {
  local line
  line=$(MVSEARCH_CONNECT_TO="${host:-catalogue.example}:80:127.0.0.1:$port" \
    "$probe" launch 30000 -- "$program") || { echo "startup: no window: $line" >&2; exit 1; }
  read -r pid wid map_ms <<<"$line"
}
gone() { ! kill -0 "$pid" 2>/dev/null; }
close_window() {
  "$probe" close "$wid"
  wait_for 30 gone || { echo "startup: the program did not end" >&2; kill -TERM "$pid"; exit 1; }
}
list=(8 104 1032 448)
bands() { "$probe" bands "$wid" "${list[@]}" | wc -l; }
has_header() { (($(bands) > 0)); }
has_rows() { (($(bands) > 1)); }

summary() {  # summary VALUES...: "min / median / max"
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.1f / %.1f / %.1f", v[1], m, v[NR] }'
}

echo "startup: $runs starts of $program" >&2
start_standin
map_times=() idle_rss=()
for ((run = 1; run <= runs; run++)); do
  launch
  wait_for 10 has_header || true
  sleep 1  # let it settle: fonts, the first paint
  map_times+=("$map_ms")
  idle_rss+=("$(rss_kb "$pid")")
  close_window
done
stop_standin

echo "startup: $search_runs searches of $results results" >&2
start_standin --generate "$results"
search_ms=() search_rss=() before_rss=()
for ((run = 1; run <= search_runs; run++)); do
  launch
  wait_for 10 has_header || true
  sleep 1
  before_rss+=("$(rss_kb "$pid")")
  start=$(now_ms)
  xdotool mousemove --window "$wid" 533 71 click 1
  wait_for 120 has_rows || { echo "startup: the search listed nothing" >&2; exit 1; }
  search_ms+=($(($(now_ms) - start)))
  sleep 1
  search_rss+=("$(rss_kb "$pid")")
  close_window
done
stop_standin

to_mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
mib() { for k in "$@"; do to_mib "$k"; echo; done; }
mapfile -t idle_mib < <(mib "${idle_rss[@]}")
mapfile -t before_mib < <(mib "${before_rss[@]}")
mapfile -t search_mib < <(mib "${search_rss[@]}")
echo
echo "| measure (min / median / max) | value |"
echo "|---|---|"
echo "| start to window mapped, ms ($runs runs) | $(summary "${map_times[@]}") |"
echo "| resident memory after start, MiB | $(summary "${idle_mib[@]}") |"
echo "| click to $results rows drawn, ms ($search_runs runs) | $(summary "${search_ms[@]}") |"
echo "| resident memory before that search, MiB | $(summary "${before_mib[@]}") |"
echo "| resident memory after that search, MiB | $(summary "${search_mib[@]}") |"
