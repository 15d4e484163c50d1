// Writing to read-only files as an unprivileged user, whom the attribute
// really stops: the read-only flags clear it for the write and put it back.
clearLog();
var dir = scratch("user-write");
var READ_ONLY = 1;
function readOnlyFile(name, text) {
    var path = dir + "\\" + name;
    writeText(path, text);
    fso.GetFile(path).Attributes = READ_ONLY;
    return path;
}
function isReadOnly(path) { return (fso.GetFile(path).Attributes & READ_ONLY) != 0; }

var probe = readOnlyFile("probe.txt", "x");
var refused = false;
try { writeText(probe, "y"); } catch (e) { refused = true; }
check(refused, "this test runs as a user whom the read-only attribute stops");

// Append with and without bAppendToReadOnly.
var log = readOnlyFile("day.log", "a");
QV.Append("b", log, false, false, true);
eq(fileText(log), "ab", "appended through the read-only attribute");
check(isReadOnly(log), "and read-only again afterwards");
clearLog();
expectFailure(function () { QV.Append("c", log, false, false, false); }, 0x80070005, "Access denied",
              "Append to a read-only file without the flag");
expectLog([["80070005", ["szDirPath: " + log, "Error: Access denied"]],
           ["80070005", ["bstrFullPath: Access denied"]],
           ["80070005", ["stdstrFullPath: Access denied"]]], "the refused append");
eq(fileText(log), "ab", "the file is unchanged");
check(isReadOnly(log), "and still read-only");

// Write replaces the content and restores the attribute as well.
QV.Write("new", log, false, false, true);
eq(fileText(log), "new", "written through the read-only attribute");
check(isReadOnly(log), "read-only again after Write");
clearLog();
expectFailure(function () { QV.WriteToExistingFile("x", log, false, false); }, 0x80070005, "Access denied",
              "WriteToExistingFile without the flag");
expectLog([["80070005", ["szDirPath: " + log, "Error: Access denied"]]], "the refused write");

// CreateFile: the attribute is cleared before the create and put back when
// the create then fails because the file exists.
var kept = readOnlyFile("kept.txt", "kept");
clearLog();
expectFailure(function () { QV.CreateFile(kept, false, true); }, 0x80070050, "File or directory already exists",
              "CreateFile on a read-only file without overwriting");
expectLog([["80070050", ["bstrFullpath: " + kept, "Error: File or directory already exists"]]], "the existing file");
check(isReadOnly(kept), "the read-only attribute is back");
eq(fileText(kept), "kept", "the content is not");

var locked = readOnlyFile("locked.txt", "locked");
clearLog();
expectFailure(function () { QV.CreateFile(locked, true, false); }, 0x80070005, "Access denied",
              "overwriting a read-only file without bOverwriteReadOnly");
expectLog([["80070005", ["bstrFullpath: " + locked, "Error: Access denied"]]], "the refused create");
eq(fileText(locked), "locked", "left as it was");
QV.CreateFile(locked, true, true);
eq(fso.GetFile(locked).Size, 0, "emptied with both flags");
check(!isReadOnly(locked), "and no longer read-only");

fso.GetFile(probe).Attributes = 0;
fso.GetFile(log).Attributes = 0;
removeTree(dir);
done();
