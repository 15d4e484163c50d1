// Read throughput: QVFileIO's Read against the script host's own
// FileSystemObject ReadAll, on text files of 1, 10 and 50 MB made in the
// temporary folder. Prints the best of several runs as MB/s and the ratio.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var QV = new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
var MB = 1024 * 1024;
var SIZES = [1, 10, 50];
var REPETITIONS = 3;
// Wine's ReadAll slows down more than linearly with the size: no further
// repetition starts once a reader has spent this long on one file.
var BUDGET_MS = 20000;

function makeFile(path, megabytes) {
    var lines = [];
    for (var i = 0; lines.join("").length < 64 * 1024; i++)
        lines.push("line " + i + ": the quick brown fox jumps over the lazy dog\r\n");
    var chunk = lines.join("");
    var stream = fso.CreateTextFile(path, true);
    var written = 0;
    while (written + chunk.length <= megabytes * MB) {
        stream.Write(chunk);
        written += chunk.length;
    }
    stream.Write(chunk.substring(0, megabytes * MB - written));
    stream.Close();
}

// The best time in milliseconds of `fn`, the length of what it read and
// the number of runs.
function best(fn) {
    var fastest = Infinity, length = -1, spent = 0, runs = 0;
    for (var i = 0; i < REPETITIONS && spent < BUDGET_MS; i++, runs++) {
        var start = new Date();
        var text = fn();
        var elapsed = new Date() - start;
        spent += elapsed;
        length = text.length;
        text = null;
        if (elapsed < fastest) fastest = elapsed;
    }
    return { ms: Math.max(fastest, 1), length: length, runs: runs };
}

function figures(megabytes, result) {
    var text = (megabytes * 1000 / result.ms).toFixed(1) + " (" + result.ms + " ms, " + result.runs + ")";
    while (text.length < 32) text += " ";
    return text;
}

var folder = fso.GetSpecialFolder(2).Path;
WScript.Echo("size    QV.Read MB/s (best ms, runs)   FSO ReadAll MB/s (best ms, runs)   speed ratio QV/FSO");
for (var s = 0; s < SIZES.length; s++) {
    var megabytes = SIZES[s];
    var path = folder + "\\qvbench-" + megabytes + "mb.txt";
    makeFile(path, megabytes);
    try {
        var qv = best(function () { return QV.Read(path); });
        var fs = best(function () {
            var stream = fso.OpenTextFile(path, 1);
            var text = stream.ReadAll();
            stream.Close();
            return text;
        });
        // Read turns CR LF into LF, so its text is shorter by the line count.
        if (qv.length <= 0 || qv.length >= fs.length)
            WScript.Echo("unexpected lengths: " + qv.length + " and " + fs.length);
        WScript.Echo(megabytes + " MB" + (megabytes < 10 ? "    " : "   ") + figures(megabytes, qv) + "   " +
                     figures(megabytes, fs) + "   " + (fs.ms / qv.ms).toFixed(2));
    } finally {
        fso.DeleteFile(path, true);
    }
}
