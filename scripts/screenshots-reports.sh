#!/usr/bin/env bash
# Screenshots of the report window under a virtual X server at 1366x768: the equipment
# list's report (the seeded items, as rich text), then with 10,000 more items (the table
# form), the page progress while its PDF is saved, and the PDF's first two pages rendered
# with pdftoppm.
#   screenshots-reports.sh [OUTDIR] [PROGRAM]
# OUTDIR defaults to /tmp/tavrell-report-screenshots; PROGRAM to build/tavrell.
# The report button is clicked where the main window's toolbar has it on that screen.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-/tmp/tavrell-report-screenshots}
prog=${2:-build/tavrell}
scripts/install-deps.sh
[ -x "$prog" ] || scripts/build.sh

mkdir -p "$out"
folder=$(mktemp -d /tmp/tavrell-shot.XXXXXX)
cp "$prog" "$folder/tavrell"
chmod +x "$folder/tavrell"
printf '[main]\nserver=(local)\n' >"$folder/remont.ini"

. scripts/program-session.sh

# Logs in as "SYS ADMIN" and opens the list's report from the toolbar.
open_report() {
  run_program
  app=$!
  focus "$(wait_window "Регистрация")"
  xdotool type --delay 50 "a"
  xdotool key Return
  wait_window "Tavrell" >/dev/null
  sleep 1.5
  xdotool mousemove 620 221 click 1
  wait_window "Отчет: Список ведомственной огртехники"
}
end_program() { kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; app=""; }

# First run: the database is created.
run_program
app=$!
focus "$(wait_window "К Вашему Сведению")"
xdotool key Return
wait "$app" || true
app=""

open_report >/dev/null
sleep 1.5
import -window root "$out/report-list.png"
end_program

# 10,000 more items, straight into the database.
python3 - "$folder/org_tech.sqlite" <<'EOF'
import random, sqlite3, sys
c = sqlite3.connect(sys.argv[1])
random.seed(42)
models = ["HP LaserJet", "Canon", "Epson Perfection", "Xerox", "Samsung ML", "Brother HL", "Kyocera", "Лексмарк", "Рикох"]
rows = []
for i in range(10000):
    rows.append((1000 + i, "%s %d" % (random.choice(models), random.randrange(10000)),
                 random.choice(["принтер", "сканер", "ксерокс"]),
                 "%04d-%02d-%02d 00:00:00" % (1995 + random.randrange(25), 1 + random.randrange(12), 1 + random.randrange(28)),
                 "В-%d" % random.randrange(1000000), str(random.randrange(100000000)), 1 + random.randrange(6),
                 11 + random.randrange(5), random.choice(["A4", "A3", "A2", "A1", "A0", "др."]),
                 str(random.randrange(50000)) if i % 3 else None))
c.executemany("insert into izdel (id, Name, Proizvod, D_vup, Seria, Nomer, CurState, otdel, form, Resurs)"
              " values (?,?,?,?,?,?,?,?,?,?)", rows)
c.commit()
EOF

open_report >/dev/null
sleep 2
import -window root "$out/report-10k.png"
# Saved as PDF through the save dialog; the progress shows meanwhile.
xdotool mousemove 460 52 click 1
focus "$(wait_window "Сохранить отчет в PDF")"
xdotool key ctrl+a
xdotool type --delay 20 "$out/report-10k.pdf"
xdotool key Return
sleep 1.5
import -window root "$out/report-10k-progress.png"
for _ in $(seq 120); do
  pdfinfo "$out/report-10k.pdf" >/dev/null 2>&1 && break
  sleep 1
done
end_program
pdftoppm -r 70 -f 1 -l 2 -png "$out/report-10k.pdf" "$out/report-10k-page"
echo "screenshots in $out"
