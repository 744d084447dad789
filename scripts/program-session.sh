# Sourced by the scripts that drive the real program under a virtual X server, after they
# set `folder` (the program folder holding tavrell and remont.ini). Starts the X server at
# 1366x768; on exit ends the program and the server and removes the folder, after the
# script's own `extra_cleanup` when it defines one. `window_tries` (checks 0.2 s apart)
# bounds how long wait_window waits.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=""
session_cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  if declare -F extra_cleanup >/dev/null; then extra_cleanup; fi
  rm -rf "$folder"
}
trap session_cleanup EXIT
export DISPLAY=$display
# The script's tools read window titles as UTF-8; the program runs as a Russian user's.
export LC_ALL=C.UTF-8
run_program() { env -u LC_ALL LANG=ru_RU.UTF-8 "$folder/tavrell" & }
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

# Waits until a window of the program with this title is mapped; prints its id. (Titles
# are compared as read back, since a search by name depends on the locale's encoding.)
wait_window() {
  local w
  for _ in $(seq "${window_tries:-150}"); do
    for w in $(xdotool search --onlyvisible --class tavrell 2>/dev/null || true); do
      [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ] && { echo "$w"; return 0; }
    done
    sleep 0.2
  done
  echo "no window \"$1\" came up" >&2
  return 1
}

# Puts the keyboard focus into a window (there is no window manager to do it).
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.3; }
