// Deleting, moving and copying as a script sees them: what is left on disk,
// the failures and their records.
var dir = scratch("manage");

function tree(root) {
    fso.CreateFolder(root);
    fso.CreateFolder(root + "\\sub");
    fso.CreateFolder(root + "\\sub\\deeper");
    writeText(root + "\\a.txt", "a");
    writeText(root + "\\sub\\b.txt", "b");
    writeText(root + "\\sub\\deeper\\c.txt", "c");
    fso.GetFile(root + "\\a.txt").Attributes = 1;         // read-only
    fso.GetFile(root + "\\sub\\b.txt").Attributes = 2;    // hidden
    QV.SetAsHidden(root + "\\sub\\deeper");  // FileSystemObject cannot set a folder's attributes here
}

// DeleteFile
var f = dir + "\\f.txt";
writeText(f, "x");
fso.GetFile(f).Attributes = 1;
clearLog();
QV.DeleteFile(f);
check(!fso.FileExists(f), "a read-only file is deleted");
eq(logRecords().length, 0, "success leaves no record");
expectFailure(function () { QV.DeleteFile(f); }, 0x80070002, "File not found", "a missing file");
expectLog([["80070002", ["szDirPath: " + f, "Error: File not found"]],
           ["80070002", ["bstrFullPath: File not found"]],
           ["80070002", ["bstrFullpath: " + f, "Error: File not found"]]], "ClearFileAttributes' records come first");
expectFailure(function () { QV.DeleteFile(dir + "\\no\\f.txt"); }, 0x80070003, "The path was not found",
              "a missing directory");

// DeleteDirectory: what the two flags take.
var t = dir + "\\t";
tree(t);
expectFailure(function () { QV.DeleteDirectory(t, false, false); }, 0x80070091, "Failed to delete the directory",
              "no flags: a directory with content stays");
check(fso.FileExists(t + "\\a.txt"), "no flags: nothing is deleted");
expectFailure(function () { QV.DeleteDirectory(t, true, false); }, 0x80070091, "Failed to delete the directory",
              "files only");
check(!fso.FileExists(t + "\\a.txt") && fso.FileExists(t + "\\sub\\b.txt"), "files only: the top's files go");
tree(dir + "\\u");
clearLog();
QV.DeleteDirectory(dir + "\\u", 1, -1);
check(!fso.FolderExists(dir + "\\u"), "both flags: a tree with read-only and hidden entries goes");
eq(logRecords().length, 0, "a whole tree deleted without a record");
fso.CreateFolder(dir + "\\e");
QV.DeleteDirectory(dir + "\\e", false, false);
check(!fso.FolderExists(dir + "\\e"), "no flags: an empty directory is removed");
clearLog();
expectFailure(function () { QV.DeleteDirectory(dir + "\\missing", true, true); }, 0x80070003,
              "The path was not found", "a missing directory");
eq(logRecords().length, 2, "the listing's record, then DeleteDirectory's");
var longDir = dir + "\\" + new Array(259 - dir.length).join("x");
eq(longDir.length, 259, "a directory path of 259 characters");
expectFailure(function () { QV.DeleteDirectory(longDir, true, true); }, 0x80004004,
              "Failed to get the directory contents", "the listing pattern would be too long");
check(fso.FolderExists(t + "\\sub"), "a refused tree is left");

// MoveFileOrDirectory
writeText(dir + "\\m1.txt", "m");
QV.MoveFileOrDirectory(dir + "\\m1.txt", dir + "\\m2.txt");
check(!fso.FileExists(dir + "\\m1.txt") && fileText(dir + "\\m2.txt") == "m", "a file is renamed");
QV.MoveFileOrDirectory(t, dir + "\\moved");
check(fso.FileExists(dir + "\\moved\\sub\\b.txt"), "a directory moves with its contents");
writeText(dir + "\\m3.txt", "other");
clearLog();
expectFailure(function () { QV.MoveFileOrDirectory(dir + "\\m3.txt", dir + "\\m2.txt"); }, 0x800700B7,
              "File or directory already exists", "an existing destination");
eq(fileText(dir + "\\m2.txt"), "m", "the destination is not replaced");
expectFailure(function () { QV.MoveFileOrDirectory(dir + "\\gone.txt", dir + "\\m4.txt"); }, 0x80070002,
              "File not found", "a missing source");
expectFailure(function () { QV.MoveFileOrDirectory(dir + "\\m3.txt", dir + "\\a|b"); }, 0x80070057,
              "Invalid path name", "an invalid new path");
expectLog([["800700B7", ["szDirNewPath: " + dir + "\\m2.txt", "Error: File or directory already exists"]],
           ["80070002", ["szDirPath: " + dir + "\\m4.txt", "Error: File not found"]],
           ["80070057", ["bstrNewOrOldFullPath: Invalid path name"]]], "move failures name the new path");

// CopyFile
var src = dir + "\\src.txt", dst = dir + "\\dst.txt";
writeText(src, "new");
writeText(dst, "old");
expectFailure(function () { QV.CopyFile(src, dst, false, false); }, 0x80070050, "File or directory already exists",
              "no overwrite");
fso.GetFile(dst).Attributes = 1;
expectFailure(function () { QV.CopyFile(src, dst, false, true); }, 0x80070050, "File or directory already exists",
              "read-only cleared, but no overwrite");
eq(fso.GetFile(dst).Attributes & 1, 1, "a refused copy puts the read-only attribute back");
eq(fileText(dst), "old", "a refused copy leaves the destination");
QV.CopyFile(src, dst, true, true);
eq(fileText(dst), "new", "both flags overwrite a read-only destination");
clearLog();
QV.CopyFile(src, dir + "\\fresh.txt", false, true);
eq(fileText(dir + "\\fresh.txt"), "new", "a copy to a new file");
eq(logRecords().length, 2, "the failed clear of a missing destination leaves its records");
expectFailure(function () { QV.CopyFile(dir + "\\no\\src.txt", dst, true, false); }, 0x80070003, "File not found",
              "a source in a missing directory");
removeTree(dir);
done();
