// Run by tests/diskfull.sh on its full disk, with the disk's folder, a source
// file elsewhere, the phase, and in phase "exact" the bytes that still fit
// at the end of a.txt: every failed call leaves the files as they were, and
// the log ends only in whole records.
var disk = WScript.Arguments(0), source = WScript.Arguments(1), phase = WScript.Arguments(2);
var a = disk + "\\a.txt", FULL = 0x80070070, WRITE = "Failed to write to the file", COPY = "Failed to copy the file";
function text(length) { for (var s = "0123456789abcdef"; s.length < length; s += s); return s.substring(0, length); }
// Wine's FileSystemObject lists no folder; flattened for the 64-bit sort.
function names(files, folders) {
    var list = QV.GetDirectoryContents(disk + "\\*", files, folders).split("|");
    for (var i = 0; i < list.length; i++) list[i] = list[i].split("").join("");
    return list.sort().join(" ");
}
// The call fails so, every file keeps its bytes and attributes, no file comes
// or goes, and every record of the log ends with its message.
function expectKept(what, call, hr, description) {
    var before = names(1, 1), files = names(1, 0).split(" "), kept = {};
    for (var i = 0; i < files.length; i++)
        kept[files[i]] = [fso.GetFile(disk + "\\" + files[i]).Attributes,
                          /filler|Log/.test(files[i]) ? "" : fileText(disk + "\\" + files[i])];
    expectFailure(call, hr, description, what);
    eq(names(1, 1), before, what + ": the same files");
    for (var name in kept) {
        eq(fso.GetFile(disk + "\\" + name).Attributes, kept[name][0], what + ": attributes of " + name);
        check(/filler|Log/.test(name) || fileText(disk + "\\" + name) === kept[name][1], what + ": bytes of " + name);
    }
    var records = logText().split("\r\nTime: (mm/dd/yy)   ");
    for (i = 1; i < records.length; i++)
        check(/^[\d\/: ]+\r\n[\s\S]*(Failed to [a-z ]+|File not found|Access denied)\r\n$/.test(records[i]), what + ": record " + i);
    check(records[0] === "", what + ": the log starts with a record");
}
if (phase == "exact") {
    var length = fso.GetFile(a).Size, room = +WScript.Arguments(3);
    QV.Append(text(room), a, 0, 0, 0);
    eq(fso.GetFile(a).Size, length + room, "exactly the free space fits");
    expectKept("one byte more", function () { QV.Append("x", a, 0, 0, 0); }, FULL, WRITE);
    eq(logText(), "", "no room for a record: the log stays empty");
} else if (phase == "big") {
    var big = text(800000), c = disk + "\\c.txt";
    check(fso.GetFile(c).Attributes & 1, "c.txt is read-only");
    var cases = [["Write", function () { QV.Write(big, a, 0, 0, 0); }, FULL, WRITE],
                 ["Append", function () { QV.Append(big, a, 0, 0, 0); }, FULL, WRITE],
                 ["replacing", function () { QV.WriteToExistingFile(big, a, 0, 0); }, FULL, WRITE],
                 ["appending", function () { QV.WriteToExistingFile(big, a, 1, 0); }, FULL, WRITE],
                 ["read-only", function () { QV.Write(big, c, 0, 0, 1); }, FULL, WRITE],
                 ["new file", function () { QV.Write(big, disk + "\\new.txt", 1, 0, 0); }, FULL, WRITE],
                 ["copy over", function () { QV.CopyFile(source, disk + "\\b.txt", 1, 0); }, FULL, COPY],
                 ["new copy", function () { QV.CopyFile(source, disk + "\\new.txt", 1, 0); }, FULL, COPY],
                 ["onto a folder", function () { QV.CopyFile(source, disk + "\\folder", 1, 0); }, 0x80070005,
                  "Access denied"]];
    for (var i = 0; i < cases.length; i++) expectKept(cases[i][0], cases[i][1], cases[i][2], cases[i][3]);
    check(logText() !== "", "the records that fitted are there");
} else {
    var records = logRecords().length;
    expectKept("room again", function () { QV.Append(text(800000), a, 0, 0, 0); }, FULL, WRITE);
    eq(logRecords().length, records + 3, "three whole records");
}
done();
