#!/usr/bin/env bash
# The Windows Installer package under Wine's msiexec, in a fresh prefix of its own: install with
# the three settings, the control from a script (x64, and x86 where a 32-bit Wine exists),
# repair, uninstall, the registry against regsvr32's, and a major upgrade from an older package.
# Every check prints one row; the test fails when any row does. Environment (set by ctest):
# OV_MSI, OV_X64_DLL, OV_X86_DLL, OV_OVLOG, OV_MAKE_PACKAGE, OV_PACKAGE_WORK, OV_ROOT.
set -uo pipefail
source "$OV_ROOT/scripts/wine32.sh"
source "$OV_ROOT/scripts/wine-prefix.sh"
work="$OV_PACKAGE_WORK"
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
unset DISPLAY
ov_make_prefix
wineserver -p 2>/dev/null
wineboot </dev/null >/dev/null 2>&1
trap 'wineserver -k 2>/dev/null' EXIT

source "${BASH_SOURCE%/*}/../support/rows.sh"
row_fd=1  # what a failing check says stays in the output
win() { winepath -w "$1"; }
drive_c="$WINEPREFIX/drive_c"
dir64="$drive_c/Program Files/Orvanta/OVCustInstSrv"
dir86="$drive_c/Program Files (x86)/Orvanta/OVCustInstSrv"
install='C:\OVPkg\Orvanta' dos='C:\OVPkg\Local' server='C:\OVPkg\Server\Pellar'

msiexec() {  # msiexec LOGNAME ARGS...: quiet, with a verbose log kept in the work folder
    local log="$1"; shift
    local try
    for try in 1 2; do
        wine msiexec "$@" /qn /l*v "$(win "$work/$log.log")" </dev/null >/dev/null 2>&1
        local rc=$?
        # Seen once under load: msiexec ended before it wrote a line of its log. That is Wine's
        # start-up, not the package: the same call once more, and said so.
        [ -s "$work/$log.log" ] && return $rc
        echo "note: msiexec $log wrote no log (exit $rc); trying once more"
        sleep 2
    done
    return $rc
}
log_clean() {  # the whole run ended with success and no action failed
    grep -a -q "INSTALL. Return value 1" "$work/$1.log" && ! grep -a -q "Return value 3" "$work/$1.log"
}
# The module's registry entries of one view as sorted "key | name | type | data" lines; a
# directory's trailing backslash (the installer's form of a folder path) is dropped.
module_keys=('HKCR\OVCustInstSrv.OVCustInst' 'HKCR\OVCustInstSrv.OVCustInst.1'
             'HKCR\CLSID\{5C7E2B1A-3F41-4D2A-9B6E-2F0C41A7D381}'
             'HKCR\TypeLib\{5C7E2B0C-3F41-4D2A-9B6E-2F0C41A7D381}'
             'HKCR\Interface\{5C7E2B19-3F41-4D2A-9B6E-2F0C41A7D381}')
registry() {
    local key
    for key in "${module_keys[@]}"; do
        wine reg query "$key" /s "/reg:$1" 2>/dev/null | tr -d '\r' | awk '
            /^HKEY_/ { key = $0; print key; next }
            /^    / { sub(/^    /, ""); n = split($0, f, /    /); print key " | " f[1] " | " f[2] " | " f[3] }'
    done | sed 's/\\$//' | LC_ALL=C sort
}
setting() {  # setting VIEW NAME: the data of HKLM\SOFTWARE\Orvanta NAME in that view
    wine reg query 'HKLM\SOFTWARE\Orvanta' /v "$2" "/reg:$1" 2>/dev/null | tr -d '\r' |
        awk -v n="$2" '$1 == n { print $3 }'
}
settings_are() {  # settings_are INSTALLPATH DOSINSTALLPATH QUIETUI, in both views
    local v
    for v in 64 32; do
        [ "$(setting $v InstallPath)" = "$1" ] && [ "$(setting $v DOSInstallPath)" = "$2" ] &&
            [ "$(setting $v QuietUI)" = "$3" ] || return 1
    done
}
products() {  # installed products named OVCustInstSrv, as their versions
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:64 2>/dev/null |
        tr -d '\r' | awk '/^HKEY_/ { name = ""; version = "" }
            $1 == "DisplayName" { name = $3 } $1 == "DisplayVersion" { version = $3 }
            name == "OVCustInstSrv" && version != "" { print version; name = "" }'
}
run_script() {  # run_script CSCRIPT MODULE-PATH: the control as the package left it
    local out
    out="$(wine "$1" //nologo "$(win "$(dirname "$0")/installed_control.js")" "$2" "$install" "$dos" "$server" 2>&1 | tr -d '\r')"
    echo "$out" | grep -v '^PASS$' | sed 's/^/     /'
    [ "$(echo "$out" | tail -n 1)" = PASS ]
}
workstation_files() {  # checksums of what belongs to the workstation
    (cd "$drive_c/OVPkg" && find . -type f | LC_ALL=C sort | xargs -d '\n' md5sum)
}
absent() { [ ! -e "$1" ]; }
fails() { ! "$@"; }
none_left() { [ -z "$(registry 64)" ] && [ -z "$(registry 32)" ]; }

echo "install: msiexec /i $(basename "$OV_MSI") INSTALLPATH DOSINSTALLPATH QUIETUI=1"
row "msiexec /i exits 0" msiexec install /i "$(win "$OV_MSI")" "INSTALLPATH=$install" "DOSINSTALLPATH=$dos" QUIETUI=1
row "install log: no action failed" log_clean install
row "x64 module in the 64-bit Program Files" cmp -s "$OV_X64_DLL" "$dir64/OVCustInstSrv.dll"
row "x86 module in the 32-bit Program Files" cmp -s "$OV_X86_DLL" "$dir86/OVCustInstSrv.dll"
row "ovlog.exe beside the x64 module" cmp -s "$OV_OVLOG" "$dir64/ovlog.exe"
row "settings in both views" settings_are "$install" "$dos" 0x1
row "install path folder created" test -d "$drive_c/OVPkg/Orvanta"
registry 64 >"$work/installed-64.txt"
registry 32 >"$work/installed-32.txt"

row "x64: control by ProgID, Init with the given settings" run_script cscript 'C:\Program Files\Orvanta\OVCustInstSrv\OVCustInstSrv.dll'
if ov_have_wine32; then
    row "x86: the same through the 32-bit cscript" run_script 'C:\windows\syswow64\cscript.exe' 'C:\Program Files (x86)\Orvanta\OVCustInstSrv\OVCustInstSrv.dll'
else
    echo "x86 not run: no 32-bit Wine here ($(ov_wine32_missing_reason))"
fi

rm -f "$dir64/OVCustInstSrv.dll" "$dir86/OVCustInstSrv.dll"
row "repair (REINSTALL=ALL REINSTALLMODE=amus) exits 0" msiexec repair /i "$(win "$OV_MSI")" REINSTALL=ALL REINSTALLMODE=amus
row "repair log: no action failed" log_clean repair
row "repair restores the x64 module" cmp -s "$OV_X64_DLL" "$dir64/OVCustInstSrv.dll"
row "repair restores the x86 module" cmp -s "$OV_X86_DLL" "$dir86/OVCustInstSrv.dll"
row "repair without the properties keeps the settings" settings_are "$install" "$dos" 0x1

workstation_files >"$work/workstation-before.txt"
row "msiexec /x exits 0" msiexec uninstall /x "$(win "$OV_MSI")"
row "uninstall log: no action failed" log_clean uninstall
row "uninstall removes the modules and ovlog.exe" absent "$dir64"
row "uninstall removes the x86 module" absent "$dir86"
row "uninstall leaves no registration in either view" none_left
row "uninstall keeps the settings" settings_are "$install" "$dos" 0x1
row "uninstall keeps OVCILog.txt, Wkstn.ini, Orvan.ini, Empxxx.ini, the script server" \
    cmp -s "$work/workstation-before.txt" <(workstation_files)
row "the kept files are all there" test "$(grep -c -E 'OVCILog.txt|Wkstn.ini|Orvan.ini|Empxxx.ini' "$work/workstation-before.txt")" -eq 4
row "no product left" test -z "$(products)"

# What regsvr32 writes for the same module in the same place.
mkdir -p "$dir64" "$dir86"
cp "$OV_X64_DLL" "$dir64/"
wine regsvr32 /s 'C:\Program Files\Orvanta\OVCustInstSrv\OVCustInstSrv.dll' </dev/null >/dev/null 2>&1
registry 64 >"$work/regsvr32-64.txt"
if ov_have_wine32; then
    cp "$OV_X86_DLL" "$dir86/"
    wine 'C:\windows\syswow64\regsvr32.exe' /s 'C:\Program Files (x86)\Orvanta\OVCustInstSrv\OVCustInstSrv.dll' </dev/null >/dev/null 2>&1
    registry 32 >"$work/regsvr32-32.txt"
    x86_reference="the 32-bit regsvr32"
else
    # Without a 32-bit regsvr32, the x64 registration carried over: the x86 module's path and
    # the win32 key of the type library.
    sed 's/C:\\Program Files\\/C:\\Program Files (x86)\\/; s/\\1\.0\\0\\win64/\\1.0\\0\\win32/' \
        "$work/regsvr32-64.txt" >"$work/regsvr32-32.txt"
    x86_reference="the x64 regsvr32's, for the x86 module"
fi
# Both modules registered: the type library's key is shared by the two views and holds both
# modules' paths; everything else is each view's own.
shared='^HKEY_CLASSES_ROOT\\TypeLib\\'
typelib="$( (grep "$shared" "$work/regsvr32-64.txt"; grep "$shared"'.*\\0\\win32' "$work/regsvr32-32.txt") | LC_ALL=C sort)"
(grep -v "$shared" "$work/regsvr32-64.txt"; echo "$typelib") | LC_ALL=C sort >"$work/expected-64.txt"
(grep -v "$shared" "$work/regsvr32-32.txt"; echo "$typelib") | LC_ALL=C sort >"$work/expected-32.txt"
row "x64 view: msiexec /i registers as regsvr32 does" diff "$work/expected-64.txt" "$work/installed-64.txt"
row "x86 view: msiexec /i registers as $x86_reference" diff "$work/expected-32.txt" "$work/installed-32.txt"
test -s "$work/installed-64.txt" || row "the installed registration was read" false
wine regsvr32 /u /s 'C:\Program Files\Orvanta\OVCustInstSrv\OVCustInstSrv.dll' </dev/null >/dev/null 2>&1
rm -rf "$drive_c/Program Files/Orvanta" "$drive_c/Program Files (x86)/Orvanta"

# Major upgrade: an older package (a lower version, its x64 module marked so it differs)
# installed, then the current one over it without any property.
old="$work/old"
mkdir -p "$old"
cp "$OV_X64_DLL" "$old/OVCustInstSrv.dll" && printf 'older build' >>"$old/OVCustInstSrv.dll"
old_msi="$(python3 "$OV_MAKE_PACKAGE" --version 1.0.0.11 --x64 "$old/OVCustInstSrv.dll" \
           --x86 "$OV_X86_DLL" --ovlog "$OV_OVLOG" --out-dir "$old")"
# A workstation whose settings only the 64-bit view holds (set by hand, or left by an install of
# only one bitness): an install without properties writes the same values into the other view.
wine reg delete 'HKLM\SOFTWARE\Orvanta' /f /reg:32 </dev/null >/dev/null 2>&1
row "older package installs" msiexec old /i "$(win "$old_msi")"
row "an install without properties copies the settings to the view that lacks them" \
    settings_are "$install" "$dos" 0x1
row "older package is the one product" test "$(products)" = 1.0.11
workstation_files >"$work/workstation-before.txt"
row "upgrade exits 0" msiexec upgrade /i "$(win "$OV_MSI")"
row "upgrade log: no action failed" log_clean upgrade
row "upgrade leaves one product, the new version" test "$(products)" = "$(python3 "$OV_MAKE_PACKAGE" --print-product-version)"
row "upgrade puts the new x64 module in place" cmp -s "$OV_X64_DLL" "$dir64/OVCustInstSrv.dll"
row "upgrade keeps the workstation's files" cmp -s "$work/workstation-before.txt" <(workstation_files)
row "upgrade keeps the settings" settings_are "$install" "$dos" 0x1
row "the older package refuses to install over the newer" fails msiexec downgrade /i "$(win "$old_msi")"
row "after that the newer product is still the one" test "$(products)" = "$(python3 "$OV_MAKE_PACKAGE" --print-product-version)"
row "the upgraded product uninstalls" msiexec final /x "$(win "$OV_MSI")"
row "nothing registered after it" none_left

rows_end
