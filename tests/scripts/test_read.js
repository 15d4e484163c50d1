// Read from a script: text-mode translation, zero bytes and Ctrl-Z, the
// empty file, and the failures with their log records.
clearLog();
var dir = scratch("read");

function readBytes(name, text) {
    var path = dir + "\\" + name;
    writeText(path, text);
    return QV.Read(path);
}

eq(readBytes("crlf.txt", "a\r\nb\r\n"), "a\nb\n", "CR LF arrives as LF");
eq(readBytes("lf.txt", "a\nb"), "a\nb", "LF stays");
eq(readBytes("cr.txt", "a\rb"), "a\rb", "a lone CR stays");
eq(readBytes("zero.txt", "one\u0000two"), "onetwo", "a zero byte is dropped");
eq(readBytes("ctrlz.txt", "before\u001aafter"), "before", "Ctrl-Z ends the data");
eq(readBytes("accents.txt", "caf\u00e9 \u00fc"), "caf\u00e9 \u00fc", "ANSI characters come back");
var empty = readBytes("empty.txt", "");
eq(typeof empty, "string", "an empty file gives a string");
eq(empty.length, 0, "of length zero");

var line79 = new Array(80).join("x"), line158 = line79 + line79;
eq(readBytes("79.txt", line79), line79, "79 bytes");
eq(readBytes("158.txt", line158), line158, "158 bytes");
eq(readBytes("split.txt", line79.substring(1) + "\r\ny"), line79.substring(1) + "\ny",
   "a CR LF pair across the 79th byte");

var big = [];
for (var i = 0; i < 20000; i++) big.push("line " + i + " of the text\r\n");
var bigText = big.join("");
eq(readBytes("big.txt", bigText), bigText.replace(/\r\n/g, "\n"), "a file of many pieces");
eq(logRecords().length, 0, "no failure, no record");

expectFailure(function () { QV.Read(dir + "\\missing.txt"); }, 0x8007006E, "Failed to open the file", "a missing file");
expectFailure(function () { QV.Read(dir); }, 0x8007006E, "Failed to open the file", "a directory");
expectFailure(function () { QV.Read(""); }, 0x80070057, "Invalid path name", "an empty path");
expectLog([["8007006E", ["szDirPath: Failed to open the file"]],
           ["8007006E", ["szDirPath: Failed to open the file"]],
           ["80070057", ["bstrFullPath: Invalid path name"]]], "the failures");
var devices = ["CON", "NUL", "COM1", "LPT1", "CON.txt"];
for (var d = 0; d < devices.length; d++)
    expectFailure(function () { QV.Read(devices[d]); }, 0x8007006E, "Failed to open the file",
                  "a device is not read: " + devices[d]);

removeTree(dir);
done();
