# Sourced by the scripts that run the program under Xvfb (bench/startup.sh,
# scripts/screenshot.sh). Gives them:
#   $work        a temporary directory, removed at exit
#   pids         background processes, stopped in reverse order at exit
#   wait_for SECONDS COMMAND...   polls COMMAND every 20 ms until it succeeds or time is up
#   start_xvfb   starts Xvfb on a free display, exports DISPLAY, and puts a do-nothing
#                xdg-open first on PATH, so that no browser is started
work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -TERM "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

wait_for() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.02
  done
}

start_xvfb() {
  mkdir -p "$work/bin" "$work/runtime"
  chmod 700 "$work/runtime"
  printf '#!/bin/sh\nexit 0\n' >"$work/bin/xdg-open"
  chmod +x "$work/bin/xdg-open"
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 2>"$work/xvfb.log" &
  pids+=($!)
  exec 3>&-
  wait_for 20 test -s "$work/display" || { cat "$work/xvfb.log" >&2; exit 1; }
  DISPLAY=":$(head -1 "$work/display")"
  export DISPLAY
  export PATH="$work/bin:$PATH" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb
}
