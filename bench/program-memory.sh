#!/usr/bin/env bash
# Peak memory of the real program holding a large service's records: 100,000 items, 200,000
# repairs and 1,000,000 resource lines. Starts the program under a virtual X server in a fresh
# program folder, logs in as the seeded administrator (the main list of every item), opens
# "История работ", then the operations of one repair with its resources, and prints the
# process's peak resident memory against the goal (at most 250 MB).
#   program-memory.sh [SERVER] [PROGRAM]
# Without SERVER, on the embedded database; with it (as TAVRELL_TEST_PGSERVER names one, e.g.
# "host=127.0.0.1 port=5432 user=postgres"), on that server's database org_tech, which must
# not exist yet and is dropped at the end. PROGRAM defaults to build/tavrell.
set -euo pipefail
cd "$(dirname "$0")/.."
server=${1:-}
prog=${2:-build/tavrell}
[ -x "$prog" ] || { echo "no program at $prog (scripts/build.sh makes it)" >&2; exit 1; }

folder=$(mktemp -d /tmp/tavrell-memory.XXXXXX)
cp "$prog" "$folder/tavrell"
printf '[main]\nserver=%s\n' "${server:-(local)}" >"$folder/remont.ini"

extra_cleanup() {
  [ -z "$server" ] || psql "$server dbname=postgres" -qc 'DROP DATABASE IF EXISTS org_tech WITH (FORCE)' >/dev/null 2>&1 || true
}
window_tries=600
. scripts/program-session.sh
answer() { focus "$(wait_window "$1")"; xdotool key Return; }

# First run: the database is made (on a server, after the question whether to), and the
# program ends.
run_program
app=$!
if [ -n "$server" ]; then
  answer "Подтвердите"
fi
answer "К Вашему Сведению"
wait "$app" || true
app=""

# The records, in one transaction each, as the program's tables hold them.
if [ -n "$server" ]; then
  psql "$server dbname=org_tech" -q -v ON_ERROR_STOP=1 <<'SQL'
BEGIN;
DELETE FROM zajav; DELETE FROM rem_res; DELETE FROM rem_op; DELETE FROM remont; DELETE FROM izdel;
INSERT INTO resurs (id, name, ed_izmer) SELECT i, 'Деталь ' || i, 'шт.' FROM generate_series(200, 219) i;
INSERT INTO izdel (id, name, proizvod, d_vup, seria, nomer, curstate, otdel, form, info, resurs)
SELECT 1000 + i, 'HP LaserJet ' || (i * 7919 % 10000),
       (ARRAY['принтер', 'сканер', 'ксерокс'])[1 + i % 3], timestamp '1995-01-01' + (i % 10000) * interval '1 day',
       'В-' || (i * 31 % 1000000), '' || (i * 7 % 100000000), 1 + i % 6, 11 + i % 5,
       (ARRAY['A4', 'A3', 'A2', 'A1', 'A0', 'др.'])[1 + i % 6],
       CASE WHEN i % 5 = 0 THEN 'заправлен ' || (i % 20) || ' раз' END, CASE WHEN i % 3 = 0 THEN '' || (i % 50000) END
FROM generate_series(0, 99999) i;
INSERT INTO remont (id, kod_vida, kod_izd, prichina, nach_rem, okonh_rem, specialist)
SELECT 1000 + i, (ARRAY[11, 12, 13, 21, 22])[1 + i % 5], 1000 + (i * 7919) % 100000,
       (ARRAY['выход из строя картриджа', 'замена барабана', 'замятие бумаги', 'не включается',
              'полосы при печати', 'профилактика', 'чистка'])[1 + i % 7],
       timestamp '2000-01-01' + (i % 9000) * interval '1 day',
       CASE WHEN i % 10 <> 0 THEN timestamp '2000-01-01' + (i % 9000 + i % 30) * interval '1 day' END,
       (ARRAY['Сидоренко', 'Петров', 'Иванова', 'Ким', 'Шевчук'])[1 + i % 5]
FROM generate_series(0, 199999) i;
INSERT INTO rem_res (rem_id, res_id, cnt)
SELECT 1000 + i / 5, 200 + ((i / 5) % 20 + (i % 5) * 3) % 20, 1 + i % 5 FROM generate_series(0, 999999) i;
COMMIT;
ANALYZE;
SQL
else
  sqlite3 "$folder/org_tech.sqlite" <<'SQL'
BEGIN;
DELETE FROM zajav; DELETE FROM rem_res; DELETE FROM rem_op; DELETE FROM remont; DELETE FROM izdel;
WITH RECURSIVE g(i) AS (SELECT 200 UNION ALL SELECT i + 1 FROM g WHERE i < 219)
INSERT INTO resurs (id, Name, Ed_izmer) SELECT i, 'Деталь ' || i, 'шт.' FROM g;
WITH RECURSIVE g(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM g WHERE i < 99999)
INSERT INTO izdel (id, Name, Proizvod, D_vup, Seria, Nomer, CurState, otdel, form, Info, Resurs)
SELECT 1000 + i, 'HP LaserJet ' || (i * 7919 % 10000),
       CASE i % 3 WHEN 0 THEN 'принтер' WHEN 1 THEN 'сканер' ELSE 'ксерокс' END,
       strftime('%Y-%m-%d %H:%M:%S.000', '1995-01-01', '+' || (i % 10000) || ' days'),
       'В-' || (i * 31 % 1000000), '' || (i * 7 % 100000000), 1 + i % 6, 11 + i % 5,
       CASE i % 6 WHEN 0 THEN 'A4' WHEN 1 THEN 'A3' WHEN 2 THEN 'A2' WHEN 3 THEN 'A1' WHEN 4 THEN 'A0' ELSE 'др.' END,
       CASE WHEN i % 5 = 0 THEN 'заправлен ' || (i % 20) || ' раз' END, CASE WHEN i % 3 = 0 THEN '' || (i % 50000) END
FROM g;
WITH RECURSIVE g(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM g WHERE i < 199999)
INSERT INTO remont (id, Kod_vida, Kod_izd, Prichina, Nach_rem, Okonh_rem, Specialist)
SELECT 1000 + i, CASE i % 5 WHEN 0 THEN 11 WHEN 1 THEN 12 WHEN 2 THEN 13 WHEN 3 THEN 21 ELSE 22 END,
       1000 + (i * 7919) % 100000,
       CASE i % 7 WHEN 0 THEN 'выход из строя картриджа' WHEN 1 THEN 'замена барабана' WHEN 2 THEN 'замятие бумаги'
                  WHEN 3 THEN 'не включается' WHEN 4 THEN 'полосы при печати' WHEN 5 THEN 'профилактика'
                  ELSE 'чистка' END,
       strftime('%Y-%m-%d %H:%M:%S.000', '2000-01-01', '+' || (i % 9000) || ' days'),
       CASE WHEN i % 10 <> 0 THEN strftime('%Y-%m-%d %H:%M:%S.000', '2000-01-01', '+' || (i % 9000 + i % 30) || ' days') END,
       CASE i % 5 WHEN 0 THEN 'Сидоренко' WHEN 1 THEN 'Петров' WHEN 2 THEN 'Иванова' WHEN 3 THEN 'Ким' ELSE 'Шевчук' END
FROM g;
WITH RECURSIVE g(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM g WHERE i < 999999)
INSERT INTO rem_res (rem_id, res_id, cnt) SELECT 1000 + i / 5, 200 + ((i / 5) % 20 + (i % 5) * 3) % 20, 1 + i % 5 FROM g;
COMMIT;
ANALYZE;
SQL
fi

peak() { awk '/^VmHWM:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"; }

run_program
app=$!
focus "$(wait_window "Регистрация")"
xdotool type --delay 50 "a"
xdotool key Return
main=$(wait_window "Tavrell")
sleep 2
after_main=$(peak "$app")
focus "$main"
xdotool mousemove --window "$main" 15 10 click 1
sleep 0.5
xdotool key Right Right Right Down Return
history=$(wait_window "История работ")
sleep 2
after_history=$(peak "$app")
focus "$history"
xdotool mousemove --window "$history" 503 16 click 1
focus "$(wait_window "Операции по ремонту")"
sleep 1
after_lines=$(peak "$app")
count='select (select count(*) from izdel), (select count(*) from remont), (select count(*) from rem_res)'
if [ -n "$server" ]; then
  counts=$(psql "$server dbname=org_tech" -AtF' ' -c "$count")
else
  counts=$(sqlite3 -separator ' ' "$folder/org_tech.sqlite" "$count")
fi
printf 'backend: %s; items, repairs, resource lines: %s\n' "${server:-embedded}" "$counts"
printf 'peak memory: %s MB with the main list, %s MB with the repair history, %s MB with one repair'"'"'s lines (goal <= 250 MB)\n' \
  "$after_main" "$after_history" "$after_lines"
awk -v p="$after_lines" 'BEGIN { exit !(p <= 250) }' && echo "goal met" || echo "GOAL MISSED"
