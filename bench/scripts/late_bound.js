// Late binding as a page's script sees it: the control against Scripting.FileSystemObject in
// the same script host, in turns. The script times itself (new Date(), milliseconds) and prints
// "round <ours ms> <reference ms>" for every counted round, then "done", for bench/ov_bench.
//
//   cscript //nologo late_bound.js read <reads> <rounds>        c.ServerPath | fso.GetDriveName
//   cscript //nologo late_bound.js create <creations> <rounds>  new control + ServerPath | new FSO + GetDriveName
//
// The registry must point at a set-up workstation (ov_bench makes one), so that Init succeeds
// without a box. The script host swallows uncaught errors and exits 0: every error is caught
// here and ends the script with 1.
var mode = WScript.Arguments(0), n = parseInt(WScript.Arguments(1), 10), rounds = parseInt(WScript.Arguments(2), 10);
var kProgID = "OVCustInstSrv.OVCustInst", kFso = "Scripting.FileSystemObject";

function now() { return new Date().getTime(); }

function readOurs(c) {
    var s, start = now();
    for (var i = 0; i < n; i++) s = c.ServerPath;
    return now() - start;
}
function readFso(fso) {
    var s, start = now();
    for (var i = 0; i < n; i++) s = fso.GetDriveName("C:\\x");
    return now() - start;
}
function createOurs() {
    var s, start = now();
    for (var i = 0; i < n; i++) s = new ActiveXObject(kProgID).ServerPath;
    return now() - start;
}
function createFso() {
    var s, start = now();
    for (var i = 0; i < n; i++) s = new ActiveXObject(kFso).GetDriveName("C:\\x");
    return now() - start;
}

try {
    var ours, theirs;
    if (mode == "read") {
        var c = new ActiveXObject(kProgID), fso = new ActiveXObject(kFso);
        c.Init();
        if (c.ServerPath == "") throw new Error("ServerPath is empty after Init");
        if (fso.GetDriveName("C:\\x") != "C:") throw new Error("GetDriveName gave something else");
        ours = function () { return readOurs(c); };
        theirs = function () { return readFso(fso); };
    } else if (mode == "create") {
        ours = createOurs;
        theirs = createFso;
    } else {
        throw new Error("unknown mode " + mode);
    }
    // Round 0 loads the modules and is not counted.
    for (var round = 0; round <= rounds; round++) {
        var a = ours(), b = theirs();
        if (round > 0) WScript.Echo("round " + a + " " + b);
    }
    WScript.Echo("done");
    WScript.Quit(0);
} catch (e) {
    WScript.Echo("error " + (e.number >>> 0).toString(16) + " " + e.message);
    WScript.Quit(1);
}
