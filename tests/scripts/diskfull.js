// On a disk that is really full, every failed call leaves the files as they
// were, and the log ends only in whole records. Run by tests/diskfull.sh,
// which mounts the small disk, fills it and passes: its folder, a source
// file elsewhere, the phase, and in the phase "exact" the bytes that still
// fit at the end of a.txt.
var disk = WScript.Arguments(0), source = WScript.Arguments(1), phase = WScript.Arguments(2);
var FULL = 0x80070070;

function text(length) {
    var s = "0123456789abcdef";
    while (s.length < length) s += s;
    return s.substring(0, length);
}

// The names in the folder (Wine's FileSystemObject enumerates no folder),
// flattened before sorting, as the 64-bit script host needs.
function names(files, folders) {
    var list = QV.GetDirectoryContents(disk + "\\*", files, folders).split("|");
    for (var i = 0; i < list.length; i++) list[i] = list[i].split("").join("");
    return list.sort().join(" ");
}

// A log whose every record is whole: each ends with its message line.
function checkWholeRecords(what) {
    var parts = logText().split("\r\nTime: (mm/dd/yy)   ");
    check(parts[0] === "", what + ": the log starts with a record");
    for (var i = 1; i < parts.length; i++)
        check(/^[\d\/: ]+\r\nFile: .*\r\nLine: .*\r\nHRESULT: [0-9A-F]+\r\nReason: [\s\S]*(Failed to [a-z ]+|File not found|Access denied)\r\n$/
                  .test(parts[i]), what + ": record " + i + " is whole");
}

// The call fails with this HRESULT and every file on the disk is as before.
function expectKept(call, hr, description, what) {
    var before = names(true, true), files = names(true, false).split(" "), contents = {}, attributes = {};
    for (var i = 0; i < files.length; i++) {
        var name = files[i];
        attributes[name] = fso.GetFile(disk + "\\" + name).Attributes;
        if (name != "filler" && name != "QVFileIOLog.txt") contents[name] = fileText(disk + "\\" + name);
    }
    expectFailure(call, hr, description, what);
    eq(names(true, true), before, what + ": the same files, no other");
    for (name in contents) {
        check(fileText(disk + "\\" + name) === contents[name], what + ": " + name + " unchanged");
        eq(fso.GetFile(disk + "\\" + name).Attributes, attributes[name], what + ": attributes of " + name);
    }
    checkWholeRecords(what);
}

var a = disk + "\\a.txt", b = disk + "\\b.txt", c = disk + "\\c.txt";
if (phase == "exact") {
    // Exactly the room there is, then one byte more.
    var room = +WScript.Arguments(3), length = fso.GetFile(a).Size;
    QV.Append(text(room), a, 0, 0, 0);
    eq(fso.GetFile(a).Size, length + room, "exactly the free space fits");
    expectKept(function () { QV.Append("x", a, 0, 0, 0); }, FULL, "Failed to write to the file", "one byte more");
    eq(logText(), "", "no room for a record: the log stays empty");
} else if (phase == "big") {
    var big = text(800000);
    expectKept(function () { QV.Write(big, a, 0, 0, 0); }, FULL, "Failed to write to the file", "Write");
    expectKept(function () { QV.Append(big, a, 0, 0, 0); }, FULL, "Failed to write to the file", "Append");
    expectKept(function () { QV.WriteToExistingFile(big, a, 0, 0); }, FULL, "Failed to write to the file",
               "WriteToExistingFile replacing");
    expectKept(function () { QV.WriteToExistingFile(big, a, 1, 0); }, FULL, "Failed to write to the file",
               "WriteToExistingFile appending");
    check(fso.GetFile(c).Attributes & 1, "c.txt is read-only");
    expectKept(function () { QV.Write(big, c, 0, 0, 1); }, FULL, "Failed to write to the file",
               "Write over a read-only file with the flag");
    expectKept(function () { QV.Write(big, disk + "\\new.txt", 1, 0, 0); }, FULL, "Failed to write to the file",
               "Write to a new file");
    expectKept(function () { QV.CopyFile(source, b, 1, 0); }, FULL, "Failed to copy the file",
               "CopyFile over an existing file");
    expectKept(function () { QV.CopyFile(source, disk + "\\new.txt", 1, 0); }, FULL, "Failed to copy the file",
               "CopyFile to a new file");
    expectKept(function () { QV.CopyFile(source, disk + "\\folder", 1, 0); }, 0x80070005, "Access denied",
               "CopyFile onto a folder");
    check(logText() !== "", "the records that fitted are there");
} else {
    // Room again: the next record is whole.
    var records = logRecords().length;
    expectKept(function () { QV.Append(text(800000), a, 0, 0, 0); }, FULL, "Failed to write to the file",
               "Append with room for the records");
    eq(logRecords().length, records + 3, "its three records");
}
done();
