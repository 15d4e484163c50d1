// Existence and drive queries, directory creation and attributes as a
// script sees them: answers, failures, and the records left in the log.
var dir = scratch("queries");
var file = dir + "\\a.txt";
writeText(file, "x");

// Boolean results are stored as 1 or 0: JScript reads them as true and false.
// IsDirectoryName
clearLog();
eq(QV.IsDirectoryName(dir), true, "IsDirectoryName on a directory");
eq(QV.IsDirectoryName(dir + "\\"), true, "a trailing backslash is dropped");
eq(QV.IsDirectoryName(file), false, "IsDirectoryName on a file");
eq(QV.IsDirectoryName("C:\\"), true, "a drive root");
expectFailure(function () { QV.IsDirectoryName(dir + "\\missing"); }, 0x80070002, "File not found", "a missing entry");
expectFailure(function () { QV.IsDirectoryName(dir + "\\no\\such"); }, 0x80070003, "The path was not found",
              "a missing directory on the way");
expectFailure(function () { QV.IsDirectoryName("a|b"); }, 0x80070057, "Invalid path name", "a refused name");
expectLog([["80070002", ["bstrFullpath: " + dir + "\\missing", "Error: File not found"]],
           ["80070003", ["bstrFullpath: " + dir + "\\no\\such", "Error: The path was not found"]],
           ["80070057", ["bstrFullPath: Invalid path name"]]], "IsDirectoryName failures");

// DirectoryExists turns "not found" into false, keeping the inner record.
clearLog();
eq(QV.DirectoryExists(dir), true, "DirectoryExists on a directory");
eq(QV.DirectoryExists(file), false, "DirectoryExists on a file");
eq(logRecords().length, 0, "no record for answers");
eq(QV.DirectoryExists(dir + "\\missing"), false, "DirectoryExists on a missing path");
expectLog([["80070002", ["bstrFullpath: " + dir + "\\missing", "Error: File not found"]]],
          "the inner record stays");
clearLog();
expectFailure(function () { QV.DirectoryExists(""); }, 0x80070057, "Invalid path name", "an empty directory");
expectLog([["80070057", ["bstrDirectory: Invalid path name"]]], "DirectoryExists refusal");

// FileExists
clearLog();
eq(QV.FileExists(file), true, "FileExists on a file");
eq(QV.FileExists(dir), false, "FileExists on a directory");
eq(logRecords().length, 0, "no record for answers");
eq(QV.FileExists(dir + "\\no\\such.txt"), false, "FileExists in a missing directory");
expectLog([["80070003", ["bstrFullpath: " + dir + "\\no\\such.txt", "Error: The path was not found"]]],
          "only the innermost record");

// GetFreeDiskSpace and DriveExists
clearLog();
var free = QV.GetFreeDiskSpace("C");
check(free > 0 && free <= 2147483647, "free space of C is a positive long: " + free);
eq(QV.GetFreeDiskSpace("C:\\data\\file.txt"), free, "only the first character counts");
eq(QV.GetFreeDiskSpace("c:"), free, "a lower-case letter");
expectFailure(function () { QV.GetFreeDiskSpace(""); }, 0x80070057, "Invalid drive length", "an empty drive");
expectFailure(function () { QV.GetFreeDiskSpace(new Array(262).join("C")); }, 0x80070057, "Invalid drive length",
              "261 characters");
eq(QV.DriveExists("C:\\"), true, "DriveExists on C");
expectFailure(function () { QV.DriveExists(""); }, 0x80004004, "Invalid path length", "DriveExists on empty text");
expectLog([["80070057", ["bstrDrive: Invalid drive length"]], ["80070057", ["bstrDrive: Invalid drive length"]],
           ["80004004", ["bstrFullpath: Invalid path length"]]], "drive refusals");
clearLog();
eq(QV.DriveExists("Q:\\"), false, "a letter that names no drive");
var rec = logRecords();
eq(rec.length, 1, "the inner GetFreeDiskSpace record stays");
check(rec.length == 1 && (rec[0].pieces.join("|") == "szDrive: Q:\\|Error: The path was not found" ||
                          rec[0].pieces.join("|") == "szDrive: Q:\\|Error: Failed to determine disk space"),
      "the record names the drive root");

removeTree(dir);
done();
