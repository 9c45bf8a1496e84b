#!/usr/bin/env bash
# One entry point for people and CI: installs what is missing (Debian 12), builds, and runs.
#   tools/kavor.sh run      build and start the program
#   tools/kavor.sh test     build and run the whole test suite
#   tools/kavor.sh test asan|tsan   the same under a sanitizer preset
#   tools/kavor.sh package  build the Debian package kavorconfig_<version>_<arch>.deb here and
#                           check it with lintian
#   tools/kavor.sh package-test   install that package, try the installed programs, remove it
#                           (root only: it changes the machine)
#   tools/kavor.sh wincheck compile the Windows-only sources (*_win.cpp) with MinGW, which nothing
#                           else here builds; they may use the standard library and Windows only
#   tools/kavor.sh deps     only install the packages
set -euo pipefail
cd "$(dirname "$0")/.."

# qt6-tools-dev and qt6-l10n-tools build the English translation; qt6-translations-l10n holds
# Qt's own German texts (standard buttons, file dialogs).
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev libgtest-dev
                fonts-dejavu-core qt6-tools-dev qt6-l10n-tools qt6-translations-l10n)
TEST_PACKAGES=(xvfb xauth)
FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# CPack's Debian generator asks dpkg-shlibdeps (dpkg-dev) and file for the dependencies.
PACKAGE_PACKAGES=(dpkg-dev file lintian desktop-file-utils)
WINCHECK_PACKAGES=(g++-mingw-w64-x86-64-win32)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
  local preset="${1:-default}"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}

case "${1:-}" in
  deps)
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    ;;
  fuzzdeps)
    install_missing "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
    ;;
  run)
    install_missing "${BUILD_PACKAGES[@]}"
    build default
    if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
      exec build/default/src/app/kavorconfig
    fi
    echo "No display: here is kavorctl on the simulated bus instead (the window needs a desktop)."
    echo "== kavorctl ports"
    build/default/src/cli/kavorctl ports
    echo "== kavorctl scan --port SIM --timeout 30"
    exec build/default/src/cli/kavorctl scan --port SIM --timeout 30 2>/dev/null
    ;;
  package)
    install_missing "${BUILD_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
    build default
    rm -f kavorconfig_*.deb
    rm -rf build/default/package
    cpack --config build/default/CPackConfig.cmake -G DEB -B "$PWD/build/default/package"
    cp build/default/package/kavorconfig_*.deb .
    deb=$(ls kavorconfig_*.deb)
    echo "== lintian $deb"
    # Errors fail the build; warnings and notes are shown. Lintian may be run as root here (CI).
    lintian --fail-on error --display-info --allow-root "$deb"
    echo "Built $deb: install it with  sudo apt install ./$deb"
    ;;
  package-test)
    install_missing "${PACKAGE_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    bash tools/package_test.sh
    ;;
  test)
    install_missing "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    preset="${2:-default}"
    build "$preset"
    ctest --preset "$preset"
    ;;
  wincheck)
    install_missing "${WINCHECK_PACKAGES[@]}"
    mapfile -t sources < <(find src -name '*_win.cpp' | sort)
    for f in "${sources[@]}"; do
      echo "$f"
      x86_64-w64-mingw32-g++-win32 -std=c++20 -Wall -Wextra -Wpedantic -Werror -fsyntax-only \
        -Isrc "$f"
    done
    ;;
  *)
    echo "usage: $0 run|test [preset]|package|package-test|deps|fuzzdeps|wincheck" >&2
    exit 2
    ;;
esac
