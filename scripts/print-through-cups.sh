#!/usr/bin/env bash
# Prints every report through CUPS and checks the printed pages against the PDF file of the
# same report: `corvan21-batch print --printer` into a cups-pdf queue and `--pdf` into a file.
#   - The document the program handed to the queue (kept in the server's spool) has the same
#     text (pdftotext -layout) as the PDF file, page for page.
#   - The pages cups-pdf printed are as many, and each carries at least 90% as many characters
#     as the same page of the PDF file. Their text cannot be compared as such: the filters pass
#     the job through PostScript, which drops the mapping of the CID-keyed fonts to text (the
#     glyphs print, but read back as other characters) and moves them by the queue's margins.
#
# It starts a private cupsd of its own (configuration, spool, logs and a Unix socket in a
# temporary folder; a CUPS of the system is left alone and need not run) with one cups-pdf
# queue, makes an installation in a temporary program folder, registers five employees,
# collects the simulator's demonstration punches and processes them, and prints the four
# reports both ways. Everything it made goes away at the end, whatever happened.
#
#   scripts/print-through-cups.sh [BUILD_DIR]      (default build/test)
#   KEEP=1 scripts/print-through-cups.sh ...       keeps the temporary folder for a look
#
# Needs root: the cups-pdf back end refuses to run otherwise. It names its queue's settings
# in /etc/cups/cups-pdf-<queue>.conf, the one place that back end reads them from, and
# removes that file again.
# Exit status: 0 same text, 1 a difference or a failure, 77 cannot run here.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(cd "${1:-build/test}" && pwd)
BATCH="$BUILD/tools/corvan21-batch/corvan21-batch"
SIMULATOR="$BUILD/tools/simulator/corvan21-sim"

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "the cups-pdf back end runs only as root"
for tool in cupsd lpadmin lpstat pdftotext sqlite3; do
  command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin command -v "$tool" >/dev/null || skip "$tool is missing (scripts/deps.sh installs it)"
done
export PATH=$PATH:/usr/sbin
[ -x /usr/lib/cups/backend/cups-pdf ] || skip "the cups-pdf back end is missing (printer-driver-cups-pdf)"
PPD=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd
[ -f "$PPD" ] || skip "$PPD is missing"
[ -x "$BATCH" ] && [ -x "$SIMULATOR" ] || skip "build corvan21-batch and corvan21-sim in $BUILD first"

T=$(mktemp -d /tmp/corvan21-cups.XXXXXX)
QUEUE="corvan21pdf$$"
PDFCONF="/etc/cups/cups-pdf-$QUEUE.conf"
CUPSD=
SIM=
cleanup() {
  set +e
  for pid in $SIM $CUPSD; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -f "$PDFCONF"
  [ -n "${KEEP:-}" ] && { echo "kept $T"; return; }
  rm -rf "$T"
}
trap cleanup EXIT

# --- the private print server -------------------------------------------------------------
mkdir -p "$T/etc/ppd" "$T/spool/tmp" "$T/cache" "$T/state" "$T/log" "$T/out" "$T/pdfspool"
# The filters run as the unprivileged lp user: they must reach the spool.
chmod 755 "$T"
cat >"$T/etc/cups-files.conf" <<EOF
ServerRoot $T/etc
RequestRoot $T/spool
TempDir $T/spool/tmp
CacheDir $T/cache
StateDir $T/state
ErrorLog $T/log/error_log
AccessLog $T/log/access_log
PageLog $T/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
FileDevice No
EOF
cat >"$T/etc/cupsd.conf" <<EOF
Listen $T/cups.sock
LogLevel warn
PreserveJobFiles Yes
Browsing No
DefaultAuthType None
WebInterface No
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
cat >"$PDFCONF" <<EOF
Out $T/out
AnonDirName $T/out
Spool $T/pdfspool
Log $T/log
Label 1
Grp root
EOF
cupsd -f -c "$T/etc/cupsd.conf" -s "$T/etc/cups-files.conf" &
CUPSD=$!
export CUPS_SERVER="$T/cups.sock"
for _ in $(seq 100); do lpstat -r >/dev/null 2>&1 && break; sleep 0.1; done
lpstat -r >/dev/null 2>&1 || { cat "$T/log/error_log" 2>/dev/null; fail "the private cupsd did not start"; }
lpadmin -p "$QUEUE" -E -v "cups-pdf:/$QUEUE" -P "$PPD" -o PageSize=A4 2>/dev/null || fail "lpadmin"
lpstat -p "$QUEUE" >/dev/null || fail "no queue $QUEUE"

# --- an installation with punches ----------------------------------------------------------
export CORVAN21_HOME="$T/home" XDG_CONFIG_HOME="$T/config" CORVAN21_NOW=2010-12-15T10:00:00
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$T/run" LANG=C.UTF-8
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$SIMULATOR" --port 0 >/dev/null 2>"$T/probe.log" &
probe=$!
for _ in $(seq 100); do grep -q 'recorder on' "$T/probe.log" && break; sleep 0.1; done
PORT=$(sed -n 's/.*recorder on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$T/probe.log")
kill "$probe"; wait "$probe" 2>/dev/null || true
[ -n "$PORT" ] || fail "the simulator did not start"
"$BATCH" init --port "$PORT" >/dev/null || fail "init"
for n in 1 2 3 4 5; do
  sqlite3 "$CORVAN21_HOME/data/corvan.mdb" \
    "INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) VALUES ('0$n', '00000$n', '社員$n', '00000000$n', '01', '1')"
done
"$SIMULATOR" --demo 2>"$T/sim.log" &
SIM=$!
for _ in $(seq 100); do grep -q 'recorder on' "$T/sim.log" && break; sleep 0.1; done
month=(--month 201012 --password 418305)
"$BATCH" collect "${month[@]}" >"$T/collect.log" 2>&1 || { cat "$T/collect.log"; fail "collect"; }
"$BATCH" process "${month[@]}" >"$T/process.log" 2>&1 || { cat "$T/process.log"; fail "process"; }

# --- every report, both ways ---------------------------------------------------------------
# The job is done when the queue is empty; cups-pdf then has moved the finished file into Out.
wait_for_output() {
  local before=$1
  for _ in $(seq 600); do
    if [ -z "$(lpstat -o "$QUEUE" 2>/dev/null)" ]; then
      local now
      now=$(find "$T/out" -name '*.pdf' | wc -l)
      [ "$now" -gt "$before" ] && return 0
    fi
    sleep 0.2
  done
  return 1
}

page_count() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ {print $2}'; }
# Characters other than blanks on one page, as pdftotext reads them.
characters() { pdftotext -f "$2" -l "$2" "$1" - 2>/dev/null | tr -d '[:space:]' | LC_ALL=C.UTF-8 wc -m; }

status=0
for report in individual daily master categories; do
  "$BATCH" print "${month[@]}" --report "$report" --pdf "$T/$report-file.pdf" >/dev/null 2>"$T/$report-file.log" \
    || { cat "$T/$report-file.log"; fail "print --pdf of $report"; }
  before=$(find "$T/out" -name '*.pdf' | wc -l)
  "$BATCH" print "${month[@]}" --report "$report" --printer "$QUEUE" >"$T/$report-queue.log" 2>&1 \
    || { cat "$T/$report-queue.log"; fail "print --printer of $report"; }
  wait_for_output "$before" || { tail -20 "$T/log/error_log"; fail "the queue gave no PDF for $report"; }
  printed=$(find "$T/out" -name '*.pdf' -newer "$T/$report-file.pdf" -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
  handed=$(find "$T/spool" -maxdepth 1 -name 'd*-001' -newer "$T/$report-file.pdf" -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
  [ -n "$printed" ] && [ -n "$handed" ] || fail "$report: no printed file or no spooled job"
  pdftotext -layout "$T/$report-file.pdf" "$T/$report-file.txt"
  pdftotext -layout "$handed" "$T/$report-handed.txt"
  pages=$(page_count "$T/$report-file.pdf")
  pages_printed=$(page_count "$printed")
  short=
  for p in $(seq "$pages"); do
    want=$(characters "$T/$report-file.pdf" "$p")
    got=$(characters "$printed" "$p")
    [ $((got * 10)) -ge $((want * 9)) ] || short="$short page $p: $got of $want characters;"
  done
  if [ "$pages" -lt 1 ] || ! grep -q '[^[:space:]]' "$T/$report-file.txt"; then
    echo "$report: the PDF file holds no text"; status=1
  elif ! diff -u "$T/$report-file.txt" "$T/$report-handed.txt" >"$T/$report.diff"; then
    echo "$report: the document sent to $QUEUE differs from --pdf:"; head -40 "$T/$report.diff"; status=1
  elif [ "$pages_printed" -ne "$pages" ]; then
    echo "$report: $pages_printed pages printed, $pages in the PDF file"; status=1
  elif [ -n "$short" ]; then
    echo "$report: printed pages lack text:$short"; status=1
  else
    echo "$report: $pages pages through $QUEUE: the text sent is that of --pdf, every page printed whole"
  fi
done
exit $status
