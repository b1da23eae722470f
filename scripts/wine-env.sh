# Sourced by the other scripts: the project's own Wine prefix and quiet, headless settings.
OV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export OV_ROOT
export WINEPREFIX="${OV_WINEPREFIX:-$OV_ROOT/.wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export WINEARCH=win64
unset DISPLAY
OV_BUILD="${OV_BUILD:-$OV_ROOT/build}"
export OV_BUILD
