#!/usr/bin/env bash
# Installs the build and run-time packages and creates the project's headless Wine prefix.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

source "$(dirname "$0")/apt-need.sh"
# Both bitnesses of the server; wixl and msitools build the Windows Installer package, gcab and
# osslsigncode the signed code download.
ov_apt_need g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools libwine-dev wine64 wine \
    googletest cmake ninja-build locales cabextract python3 wixl msitools gcab osslsigncode

# A 32-bit Wine for the x86 module's run-time tests, where the machine can get one.
source "$(dirname "$0")/wine32.sh"
ov_try_wine32

# A Japanese locale gives Wine the double-byte ANSI code page 932 for the code-page tests.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
    SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi

source "$(dirname "$0")/wine-prefix.sh"
if [ ! -f "$WINEPREFIX/.ov-ready" ]; then
  echo "creating Wine prefix $WINEPREFIX"
  ov_make_prefix
  touch "$WINEPREFIX/.ov-ready"
fi
