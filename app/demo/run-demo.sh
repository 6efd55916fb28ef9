#!/usr/bin/env bash
# Demo of the updater in a sandbox folder:
#   res/gsm.zip                      the sample content of app/demo/content/update,
#                                    zipped here and encrypted with the updater's
#                                    fixed password (Info-ZIP zip, or 7-Zip)
#   res/Инструкция по установке.txt  and res/перечень_изменений.txt
#   allusers/Dravelkin/source/html/  a fake installation (aboutdvk.htm of 4.11);
#                                    ALLUSERSPROFILE points to allusers
# With a display ($DISPLAY) the updater's window opens there. Without one the
# updater runs under Xvfb, presses "Обновить" itself (DVK_AUTOPRESS=1), takes
# screenshots before and after, and the script prints their paths and what
# was extracted; it fails when the installation does not match the content.
#
# Environment: BUILD_DIR (default <repo>/build; dvk-updater is built there
# first), DEMO_DIR (default: a new folder under /tmp).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${BUILD_DIR:-$root/build}
exe=$build/bin/dvk-updater
password='Qm7RvKt2LwXe9HbYc4NaJf6UsDp3ZgTi8o'

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" >/dev/null
fi
cmake --build "$build" -j2 --target dvk-updater >/dev/null

sandbox=${DEMO_DIR:-$(mktemp -d /tmp/dvk-demo.XXXXXX)}
sandbox=$(mkdir -p "$sandbox" && cd "$sandbox" && pwd)
target=$sandbox/allusers/Dravelkin/source/html
rm -rf "$sandbox/res" "$sandbox/allusers" "$sandbox/shots"
mkdir -p "$sandbox/res" "$target"
cp "$here/content/install.txt" "$sandbox/res/Инструкция по установке.txt"
cp "$here/content/changes.txt" "$sandbox/res/перечень_изменений.txt"
cp "$here/content/installed/aboutdvk.htm" "$target/aboutdvk.htm"

# The update archive, made from the sample content.
(
  cd "$here/content/update"
  if command -v zip >/dev/null; then
    zip -q -r -X -P "$password" "$sandbox/res/gsm.zip" .
  elif command -v 7zz >/dev/null; then
    7zz a -bd -bso0 -tzip -mem=ZipCrypto -p"$password" "$sandbox/res/gsm.zip" ./*
  else
    echo "run-demo: needs Info-ZIP zip or 7-Zip (7zz) to make the update archive" >&2
    exit 1
  fi
)
echo "sandbox: $sandbox"
echo "archive: $sandbox/res/gsm.zip ($(stat -c %s "$sandbox/res/gsm.zip") bytes)"

export ALLUSERSPROFILE=$sandbox/allusers
cd "$sandbox"

if [ -n "${DISPLAY:-}" ]; then
  exec "$exe"
fi

if ! command -v xvfb-run >/dev/null; then
  echo "run-demo: no display and no xvfb-run (apt-get install xvfb xauth)" >&2
  exit 1
fi
shots=$sandbox/shots
DVK_AUTOPRESS=1 DVK_SCREENSHOT_DIR=$shots \
  timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" "$exe" </dev/null 2>"$sandbox/updater.log" \
  || { cat "$sandbox/updater.log" >&2; echo "run-demo: the updater failed" >&2; exit 1; }
grep -E '^(message|screenshot): ' "$sandbox/updater.log" || true

echo "extracted below $target:"
(cd "$target" && find . -type f | sort | sed 's|^\./|  |')
if diff -r "$here/content/update" "$target" >/dev/null; then
  echo "result: the installation holds every file of the update"
else
  echo "result: the installation differs from the update content:" >&2
  diff -r "$here/content/update" "$target" >&2 || true
  exit 1
fi
