#!/usr/bin/env bash
# Starts the real program under a virtual X server at 1366x768 in a fresh program folder,
# creates the local database on the first run, logs in as the seeded administrator and
# takes screenshots of the login dialog, the main window, the item editor, the departments,
# the users and the archive window after one archive, the repair history with its search
# panel open, the operations of a repair, the requests, the consumption report and
# the search window.
#   screenshots.sh [OUTDIR] [PROGRAM]
# OUTDIR defaults to /tmp/tavrell-screenshots; PROGRAM to build/tavrell (built when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-/tmp/tavrell-screenshots}
prog=${2:-build/tavrell}
scripts/install-deps.sh
[ -x "$prog" ] || scripts/build.sh

mkdir -p "$out"
folder=$(mktemp -d /tmp/tavrell-shot.XXXXXX)
cp "$prog" "$folder/tavrell"
# The first run creates the embedded database without asking where it is.
printf '[main]\nserver=(local)\n' >"$folder/remont.ini"

window_tries=100
. scripts/program-session.sh

# First run: the database is created, the program says so and ends.
run_program
app=$!
info=$(wait_window "К Вашему Сведению")
focus "$info"
import -window root "$out/first-run.png"
xdotool key Return
wait "$app" || true
app=""
[ -f "$folder/org_tech.sqlite" ] || { echo "the database was not created" >&2; exit 1; }

# Second run: log in as "SYS ADMIN" with the password "a".
run_program
app=$!
login=$(wait_window "Регистрация")
focus "$login"
import -window root "$out/login.png"
xdotool type --delay 50 "a"
xdotool key Return
main=$(wait_window "Tavrell")
sleep 1
import -window root "$out/main.png"
focus "$main"
# The item editor over the list (Ctrl+N), left with Escape: the new item is not stored.
xdotool key ctrl+n
editor=$(wait_window "Добавить позицию")
focus "$editor"
import -window root "$out/editor.png"
xdotool key Escape
sleep 0.5

# Opens an entry of the main menu from the keyboard: the menu's place and the entry's
# (from 0, separators not counted); waits for the window of that title and prints its id.
open_menu() {
  focus "$main"
  xdotool key alt
  sleep 0.3
  for _ in $(seq "$1"); do xdotool key Right; done
  xdotool key Down
  sleep 0.3
  for _ in $(seq "$2"); do xdotool key Down; done
  xdotool key Return
  wait_window "$3"
}
shot_menu() {
  local w
  w=$(open_menu "$1" "$2" "$3")
  focus "$w"
  [ -z "${5:-}" ] || { xdotool mousemove --window "$w" $5 click 1; sleep 1; }
  import -window root "$out/$4.png"
  xdotool key Escape
  sleep 0.5
}
shot_menu 2 4 "Отделы предприятия" departments
shot_menu 0 1 "Пользователи системы" users
# The archive after one archive: the button "Провести новую архивацию" beside the navigator.
shot_menu 5 0 "Архивация" archive "146 16"
focus "$main"
# The repair history: menu "Обработка" (the fourth), its second entry.
xdotool mousemove --window "$main" 15 10 click 1
sleep 0.5
xdotool key Right Right Right Down Return
history=$(wait_window "История работ")
focus "$history"
# The keyboard starts in the list, where Tab moves between cells; the check box "Панель поиска" and "Работы" are clicked where the tool bar shows them.
xdotool mousemove --window "$history" 545 16 click 1
sleep 0.5
import -window root "$out/history.png"
xdotool mousemove --window "$history" 503 16 click 1
operations=$(wait_window "Операции по ремонту")
focus "$operations"
import -window root "$out/operations.png"
xdotool key Escape
sleep 0.5
focus "$history"
xdotool key Escape
sleep 0.5
# The requests (the seeded ones in their states' colours) and the consumption report: the
# first and the last entry of the fourth menu, "Обработка", reached from the keyboard.
processing_menu() {
  focus "$main"
  xdotool key alt
  sleep 0.3
  xdotool key Right Right Right Down
  sleep 0.5
}
processing_menu
xdotool key Return
requests=$(wait_window "Заявки")
focus "$requests"
import -window root "$out/requests.png"
xdotool key Escape
sleep 0.5
processing_menu
xdotool key Up Return
consumption=$(wait_window "Сумма израсходованных средств")
focus "$consumption"
import -window root "$out/consumption.png"
xdotool key Escape
sleep 0.5
focus "$main"
# The search window (Ctrl+F) with a two-word search and its list open, over the main
# window with the found rows highlighted.
xdotool key ctrl+f
find=$(wait_window "Поиск")
focus "$find"
xdotool type --delay 50 "hp принтер"
xdotool key Tab space
sleep 0.5
import -window root "$out/find.png"
focus "$main"
xdotool key alt+F4
wait "$app" || true
app=""
echo "screenshots in $out"
