// File size and time stamps as a script sees them.
var dir = scratch("properties");
var f = dir + "\\five.txt", empty = dir + "\\empty.txt";
writeText(f, "12345");
writeText(empty, "");

clearLog();
eq(QV.GetFileSize(f), 5, "the size in bytes");
eq(QV.GetFileSize(empty), 0, "an empty file");
expectFailure(function () { QV.GetFileSize(dir); }, 0x80070057, "This is not the path of a file", "a directory");
expectFailure(function () { QV.GetFileSize(dir + "\\missing.txt"); }, 0x80070002, "File not found", "a missing file");
expectLog([["80070057", ["bstrFullpath: This is not the path of a file"]],
           ["80070002", ["bstrFullpath: " + dir + "\\missing.txt", "Error: File not found"]],
           ["80070002", ["bstrFullpath: " + dir + "\\missing.txt", "Error: File not found"]],
           ["80070002", ["bstrFullpath: File not found"]]],
          "IsDirectoryName's record, the worker's, the operation's");

// The texts agree with what FileSystemObject reads, without leading zeros.
var modified = new Date(fso.GetFile(f).DateLastModified);
eq(QV.GetLastModifiedDate(f),
   (modified.getMonth() + 1) + "/" + modified.getDate() + "/" + modified.getFullYear(), "the date");
eq(QV.GetLastModifiedTime(f),
   modified.getHours() + ":" + modified.getMinutes() + ":" + modified.getSeconds(), "the time");
var created = new Date(fso.GetFile(f).DateCreated);
eq(QV.GetCreationDate(f), (created.getMonth() + 1) + "/" + created.getDate() + "/" + created.getFullYear(),
   "the creation date");
check(/^\d{1,2}:\d{1,2}:\d{1,2}$/.test(QV.GetCreationTime(f)), "a creation time");
check(/^\d{1,2}\/\d{1,2}\/\d{4}$/.test(QV.GetLastAccessedDate(f)), "a last-access date");
check(/^\d{1,2}:\d{1,2}:\d{1,2}$/.test(QV.GetLastAccessedTime(f)), "a last-access time");

// The getters answer E_ABORT, whatever went wrong.
clearLog();
expectFailure(function () { QV.GetCreationDate(dir + "\\missing.txt"); }, 0x80004004, "File not found",
              "a missing file");
expectFailure(function () { QV.GetLastModifiedTime(dir); }, 0x80004004, "This is not the path of a file",
              "a directory");
expectFailure(function () { QV.GetLastAccessedDate(dir + "\\*.txt"); }, 0x80004004, "Invalid path name",
              "a wildcard");
var records = logRecords();
eq(records[records.length - 1].pieces.join("|"), "bstrFullpath: Invalid path name", "the getter's own record");
removeTree(dir);
done();
