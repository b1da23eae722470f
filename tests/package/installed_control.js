// The control as the package leaves it, without regsvr32: made by either ProgID from the class
// registration of this script host's bitness, Init with the settings given to msiexec, and one
// failure logged quietly. Arguments: the module path the class must name, the install path,
// the DOS install path and the script server the test gave.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var args = WScript.Arguments, module = args(0), install = args(1), dos = args(2), server = args(3);
var shell = new ActiveXObject("WScript.Shell"), fso = new ActiveXObject("Scripting.FileSystemObject");
try {
    var clsid = shell.RegRead("HKCR\\OVCustInstSrv.OVCustInst\\CLSID\\");
    check(shell.RegRead("HKCR\\CLSID\\" + clsid + "\\InprocServer32\\").toLowerCase() == module.toLowerCase(),
          "the class names " + module);
    check(shell.RegRead("HKLM\\SOFTWARE\\Orvanta\\QuietUI") === 1, "QuietUI is the DWORD 1");
    var c = new ActiveXObject("OVCustInstSrv.OVCustInst.1");
    c = new ActiveXObject("OVCustInstSrv.OVCustInst");
    c.SetScriptServer(server);
    c.Init();
    check(c.ServerPath == server, "ServerPath " + c.ServerPath);
    check(c.LocalPLORVANPath == dos + "\\Pellar", "LocalPLORVANPath " + c.LocalPLORVANPath);
    check(fso.FileExists(install + "\\Wkstn.ini"), "Wkstn.ini in the install path");
    check(fso.FileExists(server + "\\Orvan.ini"), "Orvan.ini on the script server");
    check(fso.FileExists(dos + "\\Pellar\\Empxxx.ini"), "Empxxx.ini in the DOS install path");
    try {
        c.CopyFile("missing.txt", install, install + "\\copy");
        check(false, "copying a missing file succeeded");
    } catch (e) {
        check((e.number >>> 0) == 0x80070002, "missing file: " + (e.number >>> 0).toString(16));
    }
    check(fso.FileExists(install + "\\OVCILog.txt"), "the failure is logged in the install path");
} catch (e) {
    check(false, "error " + (e.number >>> 0).toString(16) + " " + e.message);
}
WScript.Echo(failures == 0 ? "PASS" : failures + " failures");
WScript.Quit(failures == 0 ? 0 : 1);
