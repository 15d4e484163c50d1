// What the administrator's policy costs: the same calls on an object made
// without the policy key and on one made under a policy of ten folders (the
// benchmark's trees among them), taken in turns, best of 7. Prints each
// pair and the ratio. Run on the trees bench/trees.sh built in the folder
// given as the argument; the policy key is removed again at the end.
//   policy_bench.js TREES [/reg:64]
var fso = new ActiveXObject("Scripting.FileSystemObject");
var shell = new ActiveXObject("WScript.Shell");
var root = WScript.Arguments(0);
var view = WScript.Arguments.length > 1 ? " " + WScript.Arguments(1) : "";
var POLICY = "HKLM\\SOFTWARE\\Policies\\QVFileIO";
var ROUNDS = 7;

function reg(args) { return shell.Run("reg " + args + view, 0, true); }
function made(folders) {
    reg("delete " + POLICY + " /f");
    if (folders) reg("add " + POLICY + " /v Folders /t REG_MULTI_SZ /d \"" + folders.join("\\0") + "\" /f");
    return new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
}

// The best time of `calls` runs of fn, in milliseconds.
function best(fn, calls, round) {
    var start = new Date();
    for (var i = 0; i < calls; i++) fn();
    var ms = new Date() - start;
    return Math.min(round === undefined ? Infinity : round, Math.max(ms, 1));
}

function pad(text, width) { while (text.length < width) text += " "; return text; }

var small = root + "\\small.txt";
var stream = fso.CreateTextFile(small, true);
stream.Write("a small file of a few bytes\r\n");
stream.Close();
var folders = [], deleted = 0;
for (var i = 1; i < 10; i++) folders.push("C:\\qvpolicy\\folder" + i);
folders.push(root);
var free = made(null);
try {
    var confined = made(folders);
    var work = [
        ["FileExists of a small file (per call)", 2000, function (qv) { qv.FileExists(small); }],
        ["Read of a small file (per call)", 2000, function (qv) { qv.Read(small); }],
        ["GetDirectoryContents of 20,000 files", 1, function (qv) { qv.GetDirectoryContents(root + "\\flat\\*", true, false); }],
        ["FindFileOrDirectory over 50,000 entries", 1, function (qv) { qv.FindFileOrDirectory(root + "\\tree", "*7.txt"); }],
        // A tree of its own for each deletion: three rounds each way.
        ["DeleteDirectory of 20,000 entries", 1, function (qv) { qv.DeleteDirectory(root + "\\delp\\" + (++deleted), true, true); }, 3]];
    WScript.Echo(pad("work", 44) + pad("without a policy", 20) + pad("ten folders", 20) + "ratio");
    for (var w = 0; w < work.length; w++) {
        var calls = work[w][1], fn = work[w][2], without = undefined, within = undefined;
        for (var r = 0; r < (work[w][3] || ROUNDS); r++) {
            without = best(function () { fn(free); }, calls, without);
            within = best(function () { fn(confined); }, calls, within);
        }
        var unit = calls > 1 ? function (ms) { return (ms * 1000 / calls).toFixed(1) + " us"; }
                             : function (ms) { return ms + " ms"; };
        WScript.Echo(pad(work[w][0], 44) + pad(unit(without), 20) + pad(unit(within), 20) + (within / without).toFixed(2));
    }
} finally {
    reg("delete " + POLICY + " /f");
    fso.DeleteFile(small, true);
}
