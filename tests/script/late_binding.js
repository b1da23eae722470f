// What only late binding shows: the control made by either ProgID, and a failure's HRESULT as
// the script sees it (ScriptServerSetupComplete with an install path too long for "\Wkstn.ini",
// reported without a box, so nothing here waits for an answer).
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var shell = new ActiveXObject("WScript.Shell"), value = "HKLM\\SOFTWARE\\Orvanta\\InstallPath", old = null;
try { old = shell.RegRead(value); } catch (e) {}
try {
    var byVersion = new ActiveXObject("OVCustInstSrv.OVCustInst.1");
    check(new ActiveXObject("OVCustInstSrv.OVCustInst").ServerPath === "", "ServerPath before Init");
    shell.RegWrite(value, "C:\\" + new Array(252).join("i"), "REG_SZ");
    byVersion.ScriptServerSetupComplete();
    check(false, "an install path without room for Wkstn.ini was accepted");
} catch (e) {
    check((e.number >>> 0) == 0x800700CE, "error " + (e.number >>> 0).toString(16) + " " + e.message);
}
// Wine's script host has no RegDelete: a value that was absent goes again with reg.exe.
if (old !== null) shell.RegWrite(value, old, "REG_SZ");
else check(shell.Run("reg delete \"HKLM\\SOFTWARE\\Orvanta\" /v InstallPath /f", 0, true) == 0, "reg delete");
WScript.Echo(failures == 0 ? "PASS" : failures + " failures");
WScript.Quit(failures == 0 ? 0 : 1);
