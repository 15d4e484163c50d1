// CreateDir and the attribute operations.
var dir = scratch("directories");

// CreateDir
clearLog();
QV.CreateDir(dir + "\\new1\\new2\\new3");
check(fso.FolderExists(dir + "\\new1\\new2\\new3"), "a whole chain is created");
QV.CreateDir(dir + "\\new1\\new2\\new3");
QV.CreateDir(dir + "\\t1\\");
check(fso.FolderExists(dir + "\\t1"), "a trailing backslash");
QV.CreateDir(dir + "\\d1\\\\d2");
check(fso.FolderExists(dir + "\\d1\\d2"), "a doubled backslash is only tested");
eq(logRecords().length, 0, "success leaves no record");

writeText(dir + "\\afile", "x");
expectFailure(function () { QV.CreateDir(dir + "\\afile\\b\\c"); }, 0x80004004, "File or directory already exists",
              "a file on the way");
expectFailure(function () { QV.CreateDir(""); }, 0x80070057, "Invalid path name", "an empty path");
expectFailure(function () { QV.CreateDir("\\\\server\\share\\dir"); }, 0x80070003, "Failed to create the directory",
              "a share out of reach fails at the folder to make; its root is neither tested nor made");
expectLog([["80004004", ["szDirPath: " + dir + "\\afile", "Error: File or directory already exists"]],
           ["80070057", ["bstrFullPath: Invalid path name"]],
           ["80070003", ["szDirPath: \\\\server\\share\\dir", "Error: Failed to create the directory"]]], "CreateDir failures");
clearLog();
expectFailure(function () { QV.CreateDir(dir.replace(/\\/g, "/") + "/s1/s2"); }, 0x80070003,
              "Failed to create the directory", "slashes are not walked");
check(!fso.FolderExists(dir + "\\s1"), "nothing of a slash path is created");

// Attributes
var f = dir + "\\attr.txt";
writeText(f, "x");
clearLog();
QV.ClearFileAttributes(f);
QV.SetAsHidden(f);
QV.SetAsReadOnly(f);
eq(fso.GetFile(f).Attributes & 3, 3, "hidden and read-only");
QV.SetAsArchive(f);
QV.SetAsArchive(f);
eq(fso.GetFile(f).Attributes & 0x23, 0x23, "archive added, twice is fine");
QV.ClearFileAttributes(f);
// Wine reports a file without attributes as archive; read-only, hidden and
// system are gone. (Wine's FileSystemObject cannot read a folder's
// attributes: directories are checked in the C++ tests.)
eq(fso.GetFile(f).Attributes & 7, 0, "cleared");
QV.SetAsReadOnly(dir + "\\t1");
QV.ClearFileAttributes(dir + "\\t1");
eq(logRecords().length, 0, "no records");

var ops = ["SetAsReadOnly", "SetAsHidden", "SetAsArchive", "ClearFileAttributes"];
for (var i = 0; i < ops.length; i++) {
    clearLog();
    expectFailure(function () { QV[ops[i]](dir + "\\missing.txt"); }, 0x80070002, "File not found",
                  ops[i] + " on a missing file");
    expectLog([["80070002", ["szDirPath: " + dir + "\\missing.txt", "Error: File not found"]],
               ["80070002", ["bstrFullPath: File not found"]]], ops[i] + " records");
    clearLog();
    expectFailure(function () { QV[ops[i]](dir + "\\a*b"); }, 0x80070057, "Invalid path name", ops[i] + " refused");
    expectLog([["80070057", ["bstrFullPath: Invalid path name"]], ["80070057", ["bstrFullPath: Invalid path name"]]],
              ops[i] + " refusal is logged twice");
}
removeTree(dir);
// A device's attributes are never changed (under Wine that would be the
// system's own device node).
var devices = ["NUL", "CON", "C:\\NUL.txt"];
for (var d = 0; d < devices.length; d++)
    expectFailure(function () { QV.SetAsReadOnly(devices[d]); }, 0x8007007B, "Failed to set the file attribute(s)",
                  "a device: " + devices[d]);
done();
