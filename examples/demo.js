// Sets up a workstation the way a set-up page does: points the registry at a demo install
// directory, hands the control a script server, runs Init and shows what it found and wrote.
var shell = new ActiveXObject("WScript.Shell");
var fso = new ActiveXObject("Scripting.FileSystemObject");
var root = "C:\\OVDemo";
var install = root + "\\Orvanta";
var server = root + "\\Server\\Pellar";
var local = root + "\\Local";

function hex(n) { return "0x" + ((n >>> 0).toString(16)).toUpperCase(); }
function show(path) {
    WScript.Echo("");
    if (!fso.FileExists(path)) { WScript.Echo("(" + path + " was not written)"); return; }
    WScript.Echo("--- " + path);
    var f = fso.OpenTextFile(path, 1);
    WScript.Echo(f.AtEndOfStream ? "" : f.ReadAll());
    f.Close();
}

if (fso.FolderExists(root)) fso.DeleteFolder(root, true);
// The default local path that the second visit falls back to; left as the demo found it.
var defaultLocal = "C:\\Orvan";
var hadDefaultLocal = fso.FolderExists(defaultLocal);
fso.CreateFolder(root);
fso.CreateFolder(install);
shell.RegWrite("HKLM\\SOFTWARE\\Orvanta\\InstallPath", install, "REG_SZ");
shell.RegWrite("HKLM\\Software\\Orvanta\\DOSInstallPath", local + "\\", "REG_SZ");

var status = 0;
var control = new ActiveXObject("OVCustInstSrv.OVCustInst");
WScript.Echo("created OVCustInstSrv.OVCustInst; install path " + install);
try {
    WScript.Echo("ScriptServerSetupComplete before set-up: " + control.ScriptServerSetupComplete());
    control.SetScriptServer(server);
    WScript.Echo("SetScriptServer(" + server + ")");
    control.Init();
    WScript.Echo("Init succeeded; ScriptServerSetupComplete now: " + control.ScriptServerSetupComplete());
} catch (e) {
    WScript.Echo("failed: " + hex(e.number) + " " + e.description);
    status = 1;
}

var names = ["WindowsDir", "DownloadPath", "ServerPath", "LocalPLORVANPath", "LocalNWXORVANPath",
             "AppsPath", "ScriptingPath", "ProductionPath", "FilePath", "BitmapPath", "BackupPath",
             "DevelopPath", "HelpPath", "InstalledMLVersion", "CachedMLVersion", "MLReadMe",
             "ConvertLogPath", "ScriptingConversionPath"];
WScript.Echo("");
for (var i = 0; i < names.length; i++) {
    var pad = "                        ".substr(0, 24 - names[i].length);
    WScript.Echo(names[i] + pad + "= " + control[names[i]]);
}
show(install + "\\Wkstn.ini");
show(server + "\\Orvan.ini");
show(local + "\\Pellar\\Empxxx.ini");

// A later visit: the workstation is set up, so Init reads the layout back. Without a
// "DOSInstallPath" it falls back to the default local path and logs a warning (no box).
shell.Run("reg delete \"HKLM\\Software\\Orvanta\" /v DOSInstallPath /f", 0, true);
var again = new ActiveXObject("OVCustInstSrv.OVCustInst");
try {
    again.Init();
    WScript.Echo("");
    WScript.Echo("second Init (configured): ServerPath = " + again.ServerPath +
                 ", LocalNWXORVANPath = " + again.LocalNWXORVANPath +
                 ", LocalPLORVANPath = " + again.LocalPLORVANPath);
    var scripts = again.ServerPath + "\\" + again.ScriptingPath + "\\" + again.ProductionPath;
    again.CreateDir(scripts);
    again.CopyFile("Orvan.ini", again.ServerPath, scripts);
    WScript.Echo("CreateDir and CopyFile into " + scripts + ": " +
                 (fso.FileExists(scripts + "\\Orvan.ini") ? "copied" : "missing"));
    WScript.Echo("GetFreeDiskSpace(\"C\") = " + again.GetFreeDiskSpace("C") + " bytes (capped at 4294967295)");
} catch (e) {
    WScript.Echo("failed: " + hex(e.number) + " " + e.description);
    status = 1;
}
show(install + "\\OVCILog.txt");
if (!hadDefaultLocal && fso.FolderExists(defaultLocal)) fso.DeleteFolder(defaultLocal, true);

// Standard scripts from a package. The builder packs examples\scripts into the host product's
// directory of a second install; that install's script server is new, so InstallMLScripts
// asks nothing, runs the package and records its version.
var pkgRoot = root + "\\Packages", pkgInstall = pkgRoot + "\\Orvanta", pkgServer = pkgRoot + "\\Server";
fso.CreateFolder(pkgRoot);
fso.CreateFolder(pkgInstall);
shell.RegWrite("HKLM\\SOFTWARE\\Orvanta\\InstallPath", pkgInstall, "REG_SZ");
shell.RegWrite("HKLM\\Software\\Orvanta\\DOSInstallPath", pkgRoot + "\\Local\\", "REG_SZ");
var ovpack = "Z:" + shell.Environment("PROCESS")("OV_BUILD").replace(/\//g, "\\") + "\\bin\\ovpack.exe";
var samples = fso.GetParentFolderName(WScript.ScriptFullName) + "\\scripts";
var built = shell.Run("\"" + ovpack + "\" scripts 2.4 \"" + samples + "\" \"" + pkgInstall + "\\Pellar\"", 0, true);
WScript.Echo("");
WScript.Echo("ovpack scripts 2.4 " + samples + " " + pkgInstall + "\\Pellar: exit code " + built);
show(pkgInstall + "\\Pellar\\OVMLSInstall.inf");
var installer = new ActiveXObject("OVCustInstSrv.OVCustInst");
try {
    installer.SetScriptServer(pkgServer);
    installer.InstallMLScripts();
    WScript.Echo("");
    WScript.Echo("InstallMLScripts on the new server " + pkgServer + " succeeded: CachedMLVersion = " +
                 installer.CachedMLVersion + ", InstalledMLVersion = " + installer.InstalledMLVersion);
} catch (e) {
    WScript.Echo("failed: " + hex(e.number) + " " + e.description);
    status = 1;
}
// The installed files, as the command interpreter lists them.
var listing = pkgRoot + "\\installed.txt";
shell.Run("cmd /c dir /s /b \"" + pkgServer + "\\Scripts\" > \"" + listing + "\"", 0, true);
WScript.Echo("");
WScript.Echo("installed into " + pkgServer + "\\Scripts:");
show(listing);
show(pkgServer + "\\Orvan.ini");

// The "edit scripts" button. The editor list names the editor's two packages and says that
// this workstation has not installed it yet, so RunEditor installs it first (the program into
// Local\Pellar\Apps, its help onto the server) and then starts it.
var bin = fso.GetParentFolderName(ovpack), editorFiles = pkgRoot + "\\EditorProgram", helpFiles = pkgRoot + "\\EditorHelp";
fso.CreateFolder(editorFiles);
fso.CreateFolder(helpFiles);
fso.CopyFile(bin + "\\seditor.exe", editorFiles + "\\seditor.exe");
fso.CreateTextFile(helpFiles + "\\scrpedtr.txt", true).Write("How to edit scripts.\r\n");
shell.Run("\"" + ovpack + "\" editor1 1.0 \"" + editorFiles + "\" \"" + pkgInstall + "\\Pellar\"", 0, true);
shell.Run("\"" + ovpack + "\" editor2 1.0 \"" + helpFiles + "\" \"" + pkgInstall + "\\Pellar\"", 0, true);
var editorList = fso.OpenTextFile(pkgInstall + "\\Pellar\\OVMLEInstall.inf", 8);
editorList.Write("UpdatedFromThisWorkstation=no\r\n");
editorList.Close();
show(pkgInstall + "\\Pellar\\OVMLEInstall.inf");
try {
    installer.RunEditor();
    var apps = installer.LocalPLORVANPath + "\\Apps";
    WScript.Echo("RunEditor installed the editor into " + apps + " and started it");
    // The editor's own "/close" waits for its window, found by class, and closes it (exit 0).
    var closed = shell.Run("\"" + apps + "\\seditor.exe\" /close", 0, true);
    WScript.Echo(closed == 0 ? "a \"ScriptFileWindow\" window was open: closed it" : "no editor window appeared");
    if (closed != 0) status = 1;
} catch (e) {
    WScript.Echo("failed: " + hex(e.number) + " " + e.description);
    status = 1;
}
show(pkgInstall + "\\Pellar\\OVMLEInstall.inf");
WScript.Quit(status);
