// Write speed: Write of 10 MB over a file of 10 MB, 1,000 Appends of 100
// bytes, CopyFile of 40 MB over an existing destination. Prints the best
// and the median time of several runs in milliseconds.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var QV = new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
var MB = 1024 * 1024;
var RUNS = 15;

function text(bytes) {
    var line = "the quick brown fox jumps over the lazy dog 0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLM\r\n";
    var s = line;
    while (s.length < bytes) s += s;
    return s.substring(0, bytes);
}

function measure(name, prepare, fn) {
    var times = [];
    for (var i = 0; i < RUNS; i++) {
        prepare();
        var start = new Date();
        fn();
        times.push(new Date() - start);
    }
    times.sort(function (a, b) { return a - b; });
    var label = name;
    while (label.length < 28) label += " ";
    WScript.Echo(label + "best " + times[0] + " ms, median " + times[RUNS >> 1] + " ms (" + RUNS + " runs)");
}

var folder = fso.GetSpecialFolder(2).Path + "\\qvwritebench";
if (!fso.FolderExists(folder)) fso.CreateFolder(folder);
var target = folder + "\\write.txt", log = folder + "\\append.txt";
var source = folder + "\\source.txt", copy = folder + "\\copy.txt";
var ten = text(10 * MB), hundred = text(100);
QV.Write(ten, target, 1, 1, 0);
QV.Write(text(40 * MB), source, 1, 1, 0);
QV.CopyFile(source, copy, 1, 0);
try {
    measure("Write 10 MB", function () {}, function () { QV.Write(ten, target, 1, 1, 0); });
    measure("1,000 Appends of 100 bytes", function () { QV.CreateFile(log, 1, 0); }, function () {
        for (var i = 0; i < 1000; i++) QV.Append(hundred, log, 1, 1, 0);
    });
    measure("CopyFile 40 MB", function () {}, function () { QV.CopyFile(source, copy, 1, 0); });
} finally {
    fso.DeleteFolder(folder, true);
}
