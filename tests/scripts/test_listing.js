// Directory listings, empty directories and the recursive search as a script
// sees them. The file system's order is not fixed, so listings are compared
// sorted where more than one entry can come first.
var dir = scratch("listing");
fso.CreateFolder(dir + "\\s");
writeText(dir + "\\a.txt", "a");
writeText(dir + "\\b.log", "b");
writeText(dir + "\\s\\c.txt", "c");
fso.CreateFolder(dir + "\\s\\deep");
writeText(dir + "\\s\\deep\\d.txt", "d");

function sorted(text) { return text.split("|").sort().join("|"); }

// GetDirectoryContents: the filter, wildcards, the dot entries.
clearLog();
eq(sorted(QV.GetDirectoryContents(dir + "\\*", true, true)), ".|..|a.txt|b.log|s", "files and directories");
eq(sorted(QV.GetDirectoryContents(dir + "\\*", true, false)), "a.txt|b.log", "files only");
eq(sorted(QV.GetDirectoryContents(dir + "\\*", false, true)), ".|..|s", "directories only");
eq(QV.GetDirectoryContents(dir + "\\*.txt", -1, 0), "a.txt", "a wildcard pattern, -1 is true");
eq(QV.GetDirectoryContents(dir + "\\s\\deep\\*", false, true), ".|..", "only the dot entries are directories");
eq(QV.GetDirectoryContents(dir + "\\*.none", true, true), "", "nothing matches");
eq(QV.GetDirectoryContents(dir + "\\missing\\*", false, false), "", "both flags false: nothing is searched");
eq(logRecords().length, 0, "answers leave no record");
expectFailure(function () { QV.GetDirectoryContents(dir + "\\missing\\*", true, true); }, 0x80070003,
              "Failed to find the file or directory", "a missing directory");
expectFailure(function () { QV.GetDirectoryContents("", true, true); }, 0x80004004, "Invalid path length",
              "an empty pattern");
expectFailure(function () { QV.GetDirectoryContents("C:\\" + new Array(259).join("x"), true, true); }, 0x80004004,
              "Invalid path length", "a pattern of 261 characters");
expectLog([["80070003", ["bstrSearchString: " + dir + "\\missing\\*", "Error: Failed to find the file or directory"]],
           ["80004004", ["bstrSearchString: Invalid path length"]],
           ["80004004", ["bstrSearchString: Invalid path length"]]], "listing failures");

// IsEmptyDirectory: only "." and ".." make an empty directory.
fso.CreateFolder(dir + "\\empty");
clearLog();
eq(QV.IsEmptyDirectory(dir + "\\empty"), true, "a new directory is empty");
eq(QV.IsEmptyDirectory(dir + "\\empty\\"), true, "a trailing backslash doubles before the star");
writeText(dir + "\\empty\\h", "h");
fso.GetFile(dir + "\\empty\\h").Attributes = 2;
eq(QV.IsEmptyDirectory(dir + "\\empty"), false, "a hidden file is content");
eq(QV.IsEmptyDirectory("C:"), false, "a drive root is never empty");
expectFailure(function () { QV.IsEmptyDirectory(dir + "\\missing"); }, 0x80070003, "The path was not found",
              "a missing directory");
expectLog([["80070003", ["bstrSearchString: " + dir + "\\missing\\*", "Error: Failed to find the file or directory"]],
           ["80070003", ["cbstrFilePath: The path was not found"]]], "IsEmptyDirectory's two records");
fso.DeleteFolder(dir + "\\empty", true);

// FindFileOrDirectory: depth first, full paths, no dot entries.
clearLog();
var expected = dir + "\\a.txt|" + dir + "\\s\\c.txt|" + dir + "\\s\\deep\\d.txt";
eq(QV.FindFileOrDirectory(dir, "*.txt"), expected, "matches of the top directory first, then each subtree");
eq(QV.FindFileOrDirectory(dir + "\\", "*.txt"), expected, "a trailing backslash is not doubled");
eq(sorted(QV.FindFileOrDirectory(dir, "*")),
   sorted([dir + "\\a.txt", dir + "\\b.log", dir + "\\s", dir + "\\s\\c.txt", dir + "\\s\\deep",
           dir + "\\s\\deep\\d.txt"].join("|")), "every entry, directories included");
eq(QV.FindFileOrDirectory(dir, "deep"), dir + "\\s\\deep", "a directory that matches is found");
eq(QV.FindFileOrDirectory(dir, "*.none"), "", "no match");
eq(logRecords().length, 0, "searches leave no record");
expectFailure(function () { QV.FindFileOrDirectory(dir + "\\missing", "*"); }, 0x80070003, "The path was not found",
              "a missing start");
expectFailure(function () { QV.FindFileOrDirectory(dir + "\\*", "*"); }, 0x80070057, "Invalid path name",
              "a wildcard in the start");
expectFailure(function () { QV.FindFileOrDirectory(dir, ""); }, 0x80070057, "Invalid path length",
              "an empty pattern");
var records = logRecords();
eq(records.length, 7, "each failure: the inner records, the worker's, the operation's");
eq(records[2].pieces.join("|"), "bstrDriveOrPath: The path was not found", "the operation repeats the message");
removeTree(dir);
done();
