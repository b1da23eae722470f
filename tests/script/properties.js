// Creates the control by its ProgID and reads every property late-bound.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var names = ["AppsPath", "BackupPath", "BitmapPath", "DevelopPath", "DownloadPath", "FilePath",
             "HelpPath", "LocalNWXORVANPath", "ProductionPath", "ScriptingPath", "ServerPath",
             "WindowsDir", "LocalPLORVANPath", "InstalledMLVersion", "CachedMLVersion",
             "ConvertLogPath", "ScriptingConversionPath", "MLReadMe"];
try {
    var byIndependent = new ActiveXObject("OVCustInstSrv.OVCustInst");
    var byVersion = new ActiveXObject("OVCustInstSrv.OVCustInst.1");
    for (var i = 0; i < names.length; i++) {
        var v = byIndependent[names[i]];
        check(typeof v == "string" && v == "", names[i] + " is [" + v + "]");
        check(byVersion[names[i]] === "", names[i] + " via the versioned ProgID");
    }
    try {
        byIndependent.NoSuchMember();
        check(false, "an unknown member was accepted");
    } catch (e) {
        check(e.number != 0, "an unknown member gave no error number");
    }
} catch (e) {
    failures++;
    WScript.Echo("FAIL: " + e.number + " " + e.message);
}
WScript.Echo(failures == 0 ? "PASS" : failures + " failures");
WScript.Quit(failures == 0 ? 0 : 1);
