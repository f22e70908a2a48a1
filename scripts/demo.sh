#!/usr/bin/env bash
# The demo: installs what is missing, builds the release variant, starts the catalogue
# stand-in on a free loopback port and runs mvsearch against it. Closing the window ends
# the demo and stops the stand-in. Try the keywords 茉莉花, 康定, 林晓岚 or lantern.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installed and built first, so that xvfb-run is there for the advice below.
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
  cat >&2 <<'MSG'
demo: there is no display to show the window on ($DISPLAY and $WAYLAND_DISPLAY are empty).
demo: run it on a desktop, or under a virtual X server:
          xvfb-run -a scripts/demo.sh
      (the window is then invisible; scripts/screenshot.sh takes a picture of it).
MSG
  exit 1
fi

build="$root/build/release"
standin="$build/tools/catalogue/mvsearch-catalogue"
program="$build/src/app/mvsearch"
host=$(sed -n 's/^MVSEARCH_CATALOGUE_HOST:STRING=//p' "$build/CMakeCache.txt")
host=${host:-catalogue.example}

portfile=$(mktemp)
standin_pid=""
stop_standin() {
  if [[ -n $standin_pid ]] && kill -0 "$standin_pid" 2>/dev/null; then
    kill -TERM "$standin_pid"
    wait "$standin_pid" 2>/dev/null || true
  fi
  rm -f "$portfile"
}
trap stop_standin EXIT
trap 'exit 130' INT TERM

# The stand-in's request log goes to this terminal, so you can watch what the window sends.
"$standin" --port 0 >"$portfile" &
standin_pid=$!
for _ in $(seq 100); do
  [[ -s $portfile ]] && break
  kill -0 "$standin_pid" 2>/dev/null || { echo "demo: the catalogue stand-in did not start" >&2; exit 1; }
  sleep 0.1
done
port=$(head -1 "$portfile")
[[ -n $port ]] || { echo "demo: the catalogue stand-in gave no port" >&2; exit 1; }

echo "demo: $host is played by the stand-in at http://127.0.0.1:$port/"
echo "demo: search for 茉莉花, 康定, 林晓岚 or lantern; right-click a result to download it"
status=0
MVSEARCH_CONNECT_TO="$host:80:127.0.0.1:$port" "$program" || status=$?
echo "demo: the window was closed (exit code $status)"
exit "$status"
