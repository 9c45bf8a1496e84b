#!/usr/bin/env bash
# Installs the package built by `tools/kavor.sh package` with apt, tries the installed programs
# (not the build's), checks the desktop entry, and removes the package again. Root only: it changes
# the machine. Fails on the first thing that is not as it should be.
set -euo pipefail
cd "$(dirname "$0")/.."

[ "$(id -u)" -eq 0 ] || { echo "package_test: run as root" >&2; exit 2; }
debs=(kavorconfig_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || {
  echo "package_test: no single kavorconfig_*.deb here; run tools/kavor.sh package" >&2
  exit 2
}
deb="${debs[0]}"
version=$(dpkg-deb -f "$deb" Version)
fail() { echo "package_test: $*" >&2; exit 1; }
step() { echo "== package test: $*"; }

work=$(mktemp -d)
installed=0
cleanup() {
  if [ "$installed" -eq 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kavorconfig >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

step "install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb"
installed=1
for f in /usr/bin/kavorctl /usr/bin/kavorconfig /usr/share/applications/kavorconfig.desktop \
         /usr/share/icons/hicolor/scalable/apps/kavorconfig.svg \
         /usr/share/icons/hicolor/48x48/apps/kavorconfig.png \
         /usr/share/man/man1/kavorctl.1.gz /usr/share/man/man1/kavorconfig.1.gz \
         /usr/share/doc/kavorconfig/README.Debian /usr/share/doc/kavorconfig/copyright; do
  [ -f "$f" ] || fail "$f is missing"
done

step "kavorctl --version"
line=$(/usr/bin/kavorctl --version)
echo "$line"
[[ "$line" == "kavorctl $version (Qt "* ]] || fail "expected 'kavorctl $version (Qt ...)'"
[[ "$(/usr/bin/kavorconfig --version)" == "kavorconfig $version (Qt "* ]] ||
  fail "kavorconfig --version does not name $version"

step "kavorctl scan --port SIM"
# The faster rate and a short time-out keep the search of all 255 addresses to seconds.
found=$(/usr/bin/kavorctl scan --port SIM --baud 19200 --timeout 20 2>"$work/scan.err")
echo "$found"
[ "$(echo "$found" | wc -l)" -eq 5 ] || fail "the simulated bus has five cards"
echo "$found" | grep -q $'^\$1E\tTMXB01\tMXB01' || fail "the type-1 card at \$1E is missing"

step "the installed kavorctl speaks English when asked, standard output unchanged"
out_en=$(KAVORCONFIG_LANG=en /usr/bin/kavorctl send --port SIM --timeout 20 '?44010000' \
  2>"$work/send_en.err" || true)
out_de=$(/usr/bin/kavorctl --lang de send --port SIM --timeout 20 '?44010000' \
  2>"$work/send_de.err" || true)
cat "$work/send_en.err"
grep -q 'TimeOut, module does not answer!' "$work/send_en.err" || fail "no English message"
grep -q 'TimeOut, Modul antwortet nicht!' "$work/send_de.err" || fail "no German message"
[ "$out_en" = "$out_de" ] || fail "standard output differs between the languages"

step "desktop-file-validate"
desktop-file-validate /usr/share/applications/kavorconfig.desktop

step "the window starts from the installed program, its model in the user's data folder"
# A fresh user: HOME and the data folder in the work folder.
export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb xvfb-run -a sh -c '
  /usr/bin/kavorconfig >"$0/window.log" 2>&1 & pid=$!
  for _ in $(seq 1 100); do
    [ -f "$XDG_DATA_HOME/KavorConfig/Modell1/Modell1.INI" ] && break
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
  done
  sleep 0.5
  kill -0 $pid 2>/dev/null || { echo "the window ended early"; cat "$0/window.log"; exit 1; }
  kill $pid; wait $pid 2>/dev/null; exit 0' "$work" || fail "the window did not start"
[ -f "$XDG_DATA_HOME/KavorConfig/Modell1/Modell1.INI" ] ||
  fail "no default model in $XDG_DATA_HOME/KavorConfig/Modell1"
[ ! -e /usr/bin/Modell1 ] || fail "the installed program wrote its model into /usr/bin"

step "remove"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kavorconfig
installed=0
for f in /usr/bin/kavorctl /usr/bin/kavorconfig /usr/share/applications/kavorconfig.desktop \
         /usr/share/doc/kavorconfig; do
  [ ! -e "$f" ] || fail "$f is left after removal"
done
dpkg-query -W -f='${Status}' kavorconfig 2>/dev/null | grep -q 'install ok installed' &&
  fail "dpkg still lists kavorconfig"
step "passed"
