// Run by tests/killwrite.sh, which kills this script host at a random
// instant: overwrites FOLDER\target.txt again and again, with Write (the
// texts "a" x 6,000,000 and "b" x 8,000,000, in turns) or with CopyFile
// (from FOLDER\a.txt and FOLDER\b.txt). The first write must remove a
// leftover of the run killed before: that is checked before the next
// write starts, then FOLDER\ready is made and the writes go on, ROUNDS of
// them (0: only the first).
//   killwrite.js write|copy FOLDER ROUNDS
var mode = WScript.Arguments(0), dir = WScript.Arguments(1), rounds = +WScript.Arguments(2);
var fso = new ActiveXObject("Scripting.FileSystemObject");
var qv = new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
var target = dir + "\\target.txt";
function text(c, length) {
    for (var s = c; s.length < length; s += s);
    return s.substring(0, length);
}
var texts = mode == "write" ? [text("a", 6000000), text("b", 8000000)] : null;
function write(i) {
    if (texts) qv.Write(texts[i % 2], target, false, false, false);
    else qv.CopyFile(dir + (i % 2 ? "\\b.txt" : "\\a.txt"), target, true, false);
}
write(0);
WScript.Echo(fso.FileExists(dir + "\\~target.txt.qvnew") ? "a leftover survived the write" : "no leftover");
fso.CreateTextFile(dir + "\\ready").Close();
for (var i = 1; i <= rounds; i++) write(i);
