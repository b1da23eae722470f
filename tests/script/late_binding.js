// What only late binding shows: the control made by either ProgID, and the HRESULT of a
// failure as the script sees it (ScriptServerSetupComplete with an install path too long for
// "\Wkstn.ini"; it reports without a box, so nothing waits for an answer here).
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var shell = new ActiveXObject("WScript.Shell");
var value = "HKLM\\SOFTWARE\\Orvanta\\InstallPath";
var old = null;
try { old = shell.RegRead(value); } catch (e) {}
try {
    var byIndependent = new ActiveXObject("OVCustInstSrv.OVCustInst");
    var byVersion = new ActiveXObject("OVCustInstSrv.OVCustInst.1");
    check(byIndependent.ServerPath === "" && byVersion.ServerPath === "", "a property before Init is not empty text");
    shell.RegWrite(value, "C:\\" + new Array(252).join("i"), "REG_SZ");
    try {
        byVersion.ScriptServerSetupComplete();
        check(false, "an install path without room for Wkstn.ini was accepted");
    } catch (e) {
        check((e.number >>> 0) == 0x800700CE, "error number " + (e.number >>> 0).toString(16));
    }
} catch (e) {
    check(false, e.number + " " + e.message);
}
// Put the value back; Wine's script host has no RegDelete, so an absent one goes with reg.exe.
if (old === null) check(shell.Run("reg delete \"HKLM\\SOFTWARE\\Orvanta\" /v InstallPath /f", 0, true) == 0, "reg delete");
else shell.RegWrite(value, old, "REG_SZ");
WScript.Echo(failures == 0 ? "PASS" : failures + " failures");
WScript.Quit(failures == 0 ? 0 : 1);
