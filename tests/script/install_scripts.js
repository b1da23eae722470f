// A set-up page's install of the standard scripts, late-bound: the server has the scripts
// already, so the install asks; the stand-in package (argument 1), started a second time as
// an answerer, presses OK in the dialog from outside, as a user would.
var failures = 0;
function check(cond, what) {
    if (!cond) { failures++; WScript.Echo("FAIL: " + what); }
}
var shell = new ActiveXObject("WScript.Shell"), fso = new ActiveXObject("Scripting.FileSystemObject");
var value = "HKLM\\SOFTWARE\\Orvanta\\InstallPath", old = null, standIn = WScript.Arguments(0);
try { old = shell.RegRead(value); } catch (e) {}
function writeList(keys) {
    var inf = fso.CreateTextFile(root + "\\Pellar\\OVMLSInstall.inf", true);
    inf.Write("[ORVAN]\r\n" + keys);
    inf.Close();
}
if (!fso.FolderExists("C:\\ovtest")) fso.CreateFolder("C:\\ovtest");
var root = "C:\\ovtest\\js-install-" + new Date().getTime(), server = root + "\\server";
try {
    fso.CreateFolder(root);
    fso.CreateFolder(root + "\\Pellar");
    shell.RegWrite(value, root, "REG_SZ");
    fso.CopyFile(standIn, root + "\\Pellar\\MLS4.exe");
    var c = new ActiveXObject("OVCustInstSrv.OVCustInst");
    c.SetScriptServer(server);
    // A list without "SEE": the page sees E_FAIL, after the error box.
    writeList("MLVer=4.0\r\n");
    shell.Run("\"" + standIn + "\" answer \"OVCustomInstall Error\"", 0, false);
    try {
        c.InstallMLScripts();
        check(false, "a list without SEE was accepted");
    } catch (e) {
        check((e.number >>> 0) == 0x80004005, "error " + (e.number >>> 0).toString(16));
    }
    // Now with its package, on a server that has the scripts already: the install asks.
    writeList("SEE=MLS4.exe\r\nMLVer=4.0\r\n");
    fso.CreateFolder(server + "\\Scripts");
    shell.Run("\"" + standIn + "\" answer \"Macrolan Script Setup\"", 0, false);
    c.InstallMLScripts();
    check(c.InstalledMLVersion == "4.0", "InstalledMLVersion is [" + c.InstalledMLVersion + "]");
    check(fso.FolderExists(server + "\\Scripts\\Backup"), "no Backup directory");
} catch (e) {
    check(false, "error " + (e.number >>> 0).toString(16) + " " + e.message);
}
if (old !== null) shell.RegWrite(value, old, "REG_SZ");
else check(shell.Run("reg delete \"HKLM\\SOFTWARE\\Orvanta\" /v InstallPath /f", 0, true) == 0, "reg delete");
try { fso.DeleteFolder(root, true); } catch (e) {}
WScript.Echo(failures == 0 ? "PASS" : failures + " failures");
WScript.Quit(failures == 0 ? 0 : 1);
