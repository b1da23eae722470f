// The set-up page's steps, shared by setup.html (one button each) and setup.wsf (one step per
// cscript run). Each step calls the control and reports its HRESULT in words and where the log
// is; where the script host lets it read files (cscript), also the records the step logged.

var OVDownloadInf = "OVCustInstSrv.inf";  // what the code download leaves in DownloadPath
var OVLayoutNames = ["WindowsDir", "DownloadPath", "ServerPath", "LocalPLORVANPath", "LocalNWXORVANPath",
                     "AppsPath", "HelpPath", "ScriptingPath", "ProductionPath", "DevelopPath", "BackupPath",
                     "FilePath", "BitmapPath", "InstalledMLVersion", "CachedMLVersion", "MLReadMe"];

var OVSetupSteps = [
    { id: "discover", title: "Discover the layout", run: function (c, out, options) {
        // The server only counts on a workstation that is set up for the first time.
        if (options.server) c.SetScriptServer(options.server);
        c.Init();
        for (var i = 0; i < OVLayoutNames.length; i++)
            out("  " + (OVLayoutNames[i] + "                  ").substr(0, 19) + "= " + c[OVLayoutNames[i]]);
    } },
    { id: "install-scripts", title: "Install the standard scripts", run: function (c) { c.InstallMLScripts(); } },
    { id: "install-dev", title: "Install the development files", run: function (c) { c.InstallDevFiles(); } },
    { id: "copy-custom", title: "Copy the download's custom files", run: function (c, out) {
        c.Init();
        var inf = c.DownloadPath + "\\" + OVDownloadInf;
        out("  INF: " + inf);
        c.CopyOVCustomFilesFromINF(inf);
    } },
    { id: "editor", title: "Start the script editor", run: function (c) { c.RunEditor(); } }
];

// Words for the HRESULTs the control's members return (the log holds the system's own text).
var OVResultWords = {
    "0x00000000": "S_OK: done",
    "0x80004005": "E_FAIL: the step did not complete (the log record says why)",
    "0x80070057": "E_INVALIDARG: an argument is empty or longer than 260 characters",
    "0x80070002": "a file was not found",
    "0x80070003": "a folder was not found",
    "0x80070005": "access was denied",
    "0x8007006E": "the INF could not be opened",
    "0x800700CE": "a path does not fit its 260-character buffer",
    "0x80030070": "there is not enough free space on a drive",
    "0x80040200": "Copy of SSE did not succeed: the package left no marker",
    "0x80040201": "Could not find ORVAN data: a value of the layout or a package list is missing",
    "0x800A01AD": "the control could not be created: it is not installed or not registered",
    "0x800A01B6": "the control is not there: the download did not install it"
};

function OVHex(code) {
    var s = (code >>> 0).toString(16).toUpperCase();
    while (s.length < 8) s = "0" + s;
    return "0x" + s;
}

function OVInWords(code, description) {
    var hex = OVHex(code), words = OVResultWords[hex];
    if (!words && (code >>> 16 & 0x7FFF) == 7) words = "Windows error " + (code & 0xFFFF);
    if (!words) words = description || "no words known for this code";
    return hex + " " + words;
}

// The file system and the registry, where the script host allows them (not in a page).
function OVHostObject(progId) {
    if (typeof WScript == "undefined") return null;
    try { return new ActiveXObject(progId); } catch (e) { return null; }
}

function OVLogPath() {
    var shell = OVHostObject("WScript.Shell");
    try { if (shell) return shell.RegRead("HKLM\\SOFTWARE\\Orvanta\\InstallPath") + "\\OVCILog.txt"; } catch (e) {}
    return "OVCILog.txt in the install path (HKLM\\SOFTWARE\\Orvanta, value InstallPath)";
}

function OVReadLog(path) {  // null where it cannot be read
    var fso = OVHostObject("Scripting.FileSystemObject");
    try {
        if (!fso || !fso.FileExists(path)) return fso ? "" : null;
        var f = fso.OpenTextFile(path, 1), text = f.AtEndOfStream ? "" : f.ReadAll();
        f.Close();
        return text;
    } catch (e) { return null; }
}

// Runs one step on the control; out(text) takes each line. Returns the HRESULT (0: done).
function OVRunStep(control, id, out, options) {
    var step = null;
    for (var i = 0; i < OVSetupSteps.length; i++)
        if (OVSetupSteps[i].id == id) step = OVSetupSteps[i];
    if (!step) { out("no step \"" + id + "\""); return 0x80070057; }
    var log = OVLogPath(), before = OVReadLog(log), code = 0, description = "";
    out(step.title + " (" + step.id + ")");
    try {
        step.run(control, out, options || {});
    } catch (e) {
        // A script error without an HRESULT: this browser cannot host the control at all.
        code = typeof e.number == "number" ? e.number : 0x800A01B6;
        description = e.description || e.message;
    }
    out("  result: " + OVInWords(code, description));
    if (code == 0) return 0;
    out("  log: " + log);
    var after = OVReadLog(log);
    if (after !== null && before !== null && after.length > before.length)
        out("  logged by this step:" + after.substr(before.length).replace(/\r?\n/g, "\r\n    "));
    return code;
}

// setup.wsf: cscript //nologo setup.wsf /step:<step> [/server:<script server>]
function OVSetupMain() {
    var step = "", server = "", usage = "usage: cscript //nologo setup.wsf /step:<step> [/server:<script server>]\r\n" +
        "  steps: discover, install-scripts, install-dev, copy-custom, editor";
    for (var i = 0; i < WScript.Arguments.length; i++) {
        var m = /^\/(step|server):(.+)$/i.exec(WScript.Arguments(i));
        if (!m) { WScript.Echo(usage); WScript.Quit(2); }
        if (m[1].toLowerCase() == "step") step = m[2]; else server = m[2];
    }
    if (!step) { WScript.Echo(usage); WScript.Quit(2); }
    var control = null, code;
    try {
        control = new ActiveXObject("OVCustInstSrv.OVCustInst");
    } catch (e) {
        WScript.Echo("OVCustInstSrv.OVCustInst: " + OVInWords(e.number, e.description));
        WScript.Quit(1);
    }
    code = OVRunStep(control, step, function (text) { WScript.Echo(text); }, { server: server });
    WScript.Quit(code == 0 ? 0 : 1);
}

// setup.html: the buttons.
function OVPageRun(id) {
    var lines = [];
    OVRunStep(document.getElementById("OVCustInst"), id, function (text) { lines.push(text); },
              { server: document.getElementById("server").value });
    document.getElementById("result").innerText = lines.join("\r\n");
}
