#!/usr/bin/env bash
# Builds the Debian package of a build folder, unpacks it (dpkg-deb -x) into a temporary root
# and checks it as a user would find it after installing it:
#   - the package's name, control fields and dependencies taken from the shared libraries;
#   - the files the programs need: programs, libKestoUsb.so.1 (its soname), help pages, icon,
#     start-up picture, desktop entry, metainfo, hicolor icons, manual pages, copyright;
#   - every program's libraries resolve, the desktop entry and the metainfo validate;
#   - the unpacked corvan21-batch init, corvan21-sim --demo, a collection, the processing and
#     an export, run with a program folder that cannot be written (as /usr/bin) and a
#     temporary XDG_DATA_HOME: the installation is made in $XDG_DATA_HOME/corvan21, the
#     read-only files come from the package's share/corvan21, nothing is written in the root.
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
BUILD=$1
VERSION=$2

for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli sqlite3 objdump; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (scripts/deps.sh installs it)"
    exit 77
  fi
done

# Install rules that put system files in their places only for a /usr build (kestousbd's)
# would pack a build for another prefix wrongly: ./test.sh configures for /usr.
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$BUILD/CMakeCache.txt")
if [ "$prefix" != /usr ]; then
  echo "SKIP: $BUILD is configured for $prefix; the package is built from a /usr build (./test.sh configures one)"
  exit 77
fi

TMP=$(mktemp -d)
SIM=
cleanup() {
  set +e
  if [ -n "$SIM" ]; then
    kill "$SIM" 2>/dev/null
    wait "$SIM" 2>/dev/null
  fi
  chmod -R u+w "$TMP" 2>/dev/null
  rm -rf "$TMP"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# --- the package ---------------------------------------------------------------------------
if ! cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$TMP/pkg" >"$TMP/cpack.log" 2>&1; then
  cat "$TMP/cpack.log"
  fail "cpack -G DEB failed"
fi
DEB="$TMP/pkg/corvan21_${VERSION}_amd64.deb"
[ -f "$DEB" ] || { ls "$TMP/pkg"; fail "no $DEB"; }
[ "$(dpkg-deb -f "$DEB" Package)" = corvan21 ] || fail "package name"
[ "$(dpkg-deb -f "$DEB" Version)" = "$VERSION" ] || fail "package version"
[ "$(dpkg-deb -f "$DEB" Architecture)" = amd64 ] || fail "architecture"
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
# From dpkg-shlibdeps (with versions), and the run-time plugins it cannot see.
for dep in 'libqt6widgets6 (>=' 'libqt6sql6 (>=' 'libqt6printsupport6 (>=' 'libc6 (>=' libqt6sql6-sqlite qt6-qpa-plugins fonts-noto-cjk; do
  case "$DEPENDS" in *"$dep"*) ;; *) fail "Depends lacks $dep: $DEPENDS" ;; esac
done

ROOT="$TMP/root"
dpkg-deb -x "$DEB" "$ROOT"
dpkg-deb -c "$DEB" | awk '{print $6}' | sed 's|^\./|/|' >"$TMP/files"
need() {
  grep -qx "$1" "$TMP/files" || fail "the package lacks $1"
}
MULTIARCH=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || echo x86_64-linux-gnu)
for f in /usr/bin/corvan21 /usr/bin/corvan21-batch /usr/bin/corvan21-sim \
         "/usr/lib/$MULTIARCH/libKestoUsb.so.1" \
         /usr/share/applications/corvan21.desktop /usr/share/metainfo/jp.vesko.corvan21.metainfo.xml \
         /usr/share/icons/hicolor/scalable/apps/corvan21.svg \
         /usr/share/man/man1/corvan21.1.gz /usr/share/man/man1/corvan21-batch.1.gz /usr/share/man/man1/corvan21-sim.1.gz \
         /usr/sbin/kestousbd /usr/share/man/man8/kestousbd.8.gz \
         /usr/share/doc/corvan21/copyright /usr/share/doc/corvan21/changelog.gz \
         /usr/share/corvan21/corvan21.ico /usr/share/corvan21/boot.bmp /usr/share/corvan21/help/faq.html; do
  need "$f"
done
for size in 16 22 24 32 48 64 128 256; do
  need "/usr/share/icons/hicolor/${size}x${size}/apps/corvan21.png"
done
# Every context topic the main window asks for, for both kinds of installation.
for kind in usb lan; do
  for topic in index 10002 10003 10004 10005 10010 10011 10012 10013 10014 10015; do
    need "/usr/share/corvan21/help/$kind/$topic.html"
  done
done
# A -dev link has no place in this package, and every file is in one of the system's places.
! grep -q '/libKestoUsb\.so$' "$TMP/files" || fail "the unversioned libKestoUsb.so link is packaged"
outside=$(grep -v '/$' "$TMP/files" | grep -Ev '^/usr/(bin|sbin|lib|share)/|^/lib/(udev|systemd)/|^/etc/' || true)
[ -z "$outside" ] || fail "files outside the usual places: $outside"
# The USB driver service, when this build has it.
if [ -x "$BUILD/tools/kestousbd/kestousbd" ]; then
  for f in /usr/sbin/kestousbd /lib/udev/rules.d/70-kestousb.rules /lib/systemd/system/kestousbd.service \
           /etc/kestousb/devices.conf; do
    need "$f"
  done
  dpkg-deb --ctrl-tarfile "$DEB" | tar -xOf - ./conffiles 2>/dev/null | grep -qx /etc/kestousb/devices.conf \
    || fail "/etc/kestousb/devices.conf is not a conffile"
fi

SONAME=$(objdump -p "$ROOT/usr/lib/$MULTIARCH/libKestoUsb.so.1" | awk '$1 == "SONAME" {print $2}')
[ "$SONAME" = libKestoUsb.so.1 ] || fail "soname is '$SONAME'"
for elf in "$ROOT"/usr/bin/* "$ROOT/usr/lib/$MULTIARCH/libKestoUsb.so.1"; do
  missing=$(LD_LIBRARY_PATH="$ROOT/usr/lib/$MULTIARCH" ldd "$elf" | grep 'not found' || true)
  [ -z "$missing" ] || fail "$elf: $missing"
  ! objdump -h "$elf" | grep -q '\.debug_info' || fail "$elf is not stripped"
done
for page in "$ROOT"/usr/share/man/man[18]/*.gz; do
  gzip -t "$page" || fail "$page is not a whole gzip file"
  # groff's warnings (-ww) point at a page that would print wrong.
  warn=$(zcat "$page" | LC_ALL=C.UTF-8 groff -k -Tutf8 -man -ww -z 2>&1) || fail "$page: groff failed"
  [ -z "$warn" ] || fail "$page: $warn"
done

desktop-file-validate "$ROOT/usr/share/applications/corvan21.desktop" || fail "desktop entry"
grep -q '^Categories=Office;$' "$ROOT/usr/share/applications/corvan21.desktop" || fail "desktop category"
grep -q '^Name\[ja\]=' "$ROOT/usr/share/applications/corvan21.desktop" || fail "Japanese name"
grep -q '^Comment\[ja\]=' "$ROOT/usr/share/applications/corvan21.desktop" || fail "Japanese comment"
appstreamcli validate --no-net "$ROOT/usr/share/metainfo/jp.vesko.corvan21.metainfo.xml" || fail "metainfo"

# --- the programs, as installed ------------------------------------------------------------
chmod -R a-w "$ROOT"
touch "$TMP/before"
unset CORVAN21_HOME
export XDG_DATA_HOME="$TMP/xdg" XDG_CONFIG_HOME="$TMP/config" HOME="$TMP/home"
export CORVAN21_NOW=2010-12-15T10:00:00 QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="$TMP/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
BIN="$ROOT/usr/bin"
DATA="$XDG_DATA_HOME/corvan21"

out=$("$BIN/corvan21-batch" --version)
[ "$out" = "corvan21-batch $VERSION" ] || fail "--version says '$out'"
help=$("$BIN/corvan21-batch" --help)
grep -qx "Program folder: $DATA" <<<"$help" || fail "--help does not name $DATA: $help"

# A free port for the recorder: the simulator picks one, then gives it back.
"$BIN/corvan21-sim" --port 0 >/dev/null 2>"$TMP/probe.log" &
probe=$!
for _ in $(seq 100); do grep -q 'recorder on' "$TMP/probe.log" && break; sleep 0.1; done
PORT=$(sed -n 's/.*recorder on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$TMP/probe.log")
kill "$probe"; wait "$probe" 2>/dev/null || true
[ -n "$PORT" ] || fail "the simulator did not start: $(cat "$TMP/probe.log")"

"$BIN/corvan21-batch" init --port "$PORT" >"$TMP/init.log" || { cat "$TMP/init.log"; fail "init"; }
for f in corvan21.ini data/corvan.mdb data/corvan_tmp.mdb data/カレンダー.mdb; do
  [ -f "$DATA/$f" ] || fail "init made no $DATA/$f"
done
[ "$(stat -c %a "$DATA")" = 700 ] || fail "$DATA is readable by others"
for f in help corvan21.ico boot.bmp; do
  [ ! -e "$DATA/$f" ] || fail "init copied $f into the data folder instead of using the package's"
done

# The employees of the demonstration cards, as the master screen would register them.
for n in 1 2 3 4 5; do
  sqlite3 "$DATA/data/corvan.mdb" \
    "INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) VALUES ('0$n', '00000$n', '社員$n', '00000000$n', '01', '1')"
done

"$BIN/corvan21-sim" --demo 2>"$TMP/sim.log" &
SIM=$!
for _ in $(seq 100); do grep -q 'recorder on' "$TMP/sim.log" && break; sleep 0.1; done
grep -q "recorder on 127.0.0.1:$PORT" "$TMP/sim.log" || fail "corvan21-sim --demo did not take the port of $DATA/corvan21.ini: $(cat "$TMP/sim.log")"

batch() { "$BIN/corvan21-batch" "$@" --month 201012 --password 418305; }
batch collect >"$TMP/collect.log" 2>&1 || { cat "$TMP/collect.log"; fail "collect"; }
grep -q '結果コード 0' "$TMP/collect.log" || { cat "$TMP/collect.log"; fail "collect result"; }
grep -q '受信データ数 40' "$TMP/collect.log" || { cat "$TMP/collect.log"; fail "collect count"; }
batch process >"$TMP/process.log" 2>&1 || { cat "$TMP/process.log"; fail "process"; }
batch export --kind individual --employees 000001 --out "$TMP/individual.csv" >"$TMP/export.log" 2>&1 \
  || { cat "$TMP/export.log"; fail "export"; }
iconv -f CP932 -t UTF-8 "$TMP/individual.csv" >"$TMP/individual.utf8" || fail "export is not Shift_JIS"
# Card 1 punched in at 08:43 and out at 17:35 on each demonstration day.
[ "$(grep -c '^12月1[0-4]日([^)]*),08,43,17,35,' "$TMP/individual.utf8")" -eq 4 ] || { cat "$TMP/individual.utf8"; fail "export lacks the collected punches"; }
[ -f "$DATA/data/201012corvan.mdb" ] || fail "no monthly database in $DATA"
[ -z "$(find "$ROOT" -newer "$TMP/before" -print -quit)" ] || fail "something was written below the package root"
echo "package_deb: $(basename "$DEB") $(wc -l <"$TMP/files") entries, collection and export from $DATA: ok"
