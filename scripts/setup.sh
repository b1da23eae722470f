#!/usr/bin/env bash
# Installs the build and run-time packages and creates the project's headless Wine prefix.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

source "$(dirname "$0")/apt-need.sh"
ov_apt_need g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev wine64 wine googletest cmake ninja-build locales cabextract

# A Japanese locale gives Wine the double-byte ANSI code page 932 for the code-page tests.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
    SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi

if [ ! -f "$WINEPREFIX/.ov-ready" ]; then
  echo "creating Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  # Null graphics driver: windows, dialogs and message boxes work without a display.
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  # A crash prints a backtrace and exits instead of waiting on winedbg's dialog.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
  wineserver -k || true
  touch "$WINEPREFIX/.ov-ready"
fi
