#!/usr/bin/env bash
# Takes a picture of the window after a search: runs the release build's mvsearch under
# Xvfb against the catalogue stand-in, types a keyword, clicks 搜索 and writes the window
# as a PNG (default docs/window.png).
#   scripts/screenshot.sh [OUTPUT.png] [KEYWORD]
# MVSEARCH_BUILD_DIR names another build tree than build/release.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
output=${1:-$root/docs/window.png}
keyword=${2:-花}
build=${MVSEARCH_BUILD_DIR:-$root/build/release}
program="$build/src/app/mvsearch"
standin="$build/tools/catalogue/mvsearch-catalogue"
probe="$build/tests/e2e/mvsearch-x11-probe"

if [[ ! -x $program || ! -x $standin || ! -x $probe ]]; then
  "$root/scripts/setup.sh"
  "$root/scripts/build.sh" release
fi
host=$(sed -n 's/^MVSEARCH_CATALOGUE_HOST:STRING=//p' "$build/CMakeCache.txt")

# shellcheck source=lib/xvfb_session.sh
source "$root/scripts/lib/xvfb_session.sh"

start_xvfb

"$standin" --port 0 --quiet >"$work/port" &
pids+=($!)
wait_for 10 test -s "$work/port" || { echo "screenshot: the stand-in did not start" >&2; exit 1; }

MVSEARCH_CONNECT_TO="${host:-catalogue.example}:80:127.0.0.1:$(head -1 "$work/port")" \
  "$program" &
pids+=($!)
wid=$("$probe" wait-window "${pids[-1]}" 30000) || { echo "screenshot: no window" >&2; exit 1; }

list=(8 104 1032 448)
bands() { "$probe" bands "$wid" "${list[@]}" | wc -l; }
has_header() { (($(bands) > 0)); }  # the column header "歌名" is drawn
has_rows() { (($(bands) > 1)); }
wait_for 10 has_header || true
xdotool mousemove --window "$wid" 536 23 click 1
xdotool type --delay 40 -- "$keyword"
xdotool mousemove --window "$wid" 533 71 click 1
wait_for 20 has_rows || { echo "screenshot: the search listed nothing" >&2; exit 1; }
# Away from the controls, so no hover highlight shows.
xdotool mousemove 0 0
sleep 0.5
mkdir -p "$(dirname "$output")"
import -window "$wid" "$output"
echo "screenshot: wrote $output"
