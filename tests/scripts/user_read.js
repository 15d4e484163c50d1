// Read as an unprivileged user: a read-only file reads as any other, and a
// file the user may not read fails to open like a missing one.
clearLog();
var dir = scratch("user-read");
var path = dir + "\\readonly.txt";
writeText(path, "kept\r\n");
fso.GetFile(path).Attributes = 1;
var refused = false;
try { writeText(path, "changed"); } catch (e) { refused = true; }
check(refused, "this test runs as a user whom the read-only attribute stops");
eq(QV.Read(path), "kept\n", "a read-only file is read");

// Readable by root and its group only.
var secret = "Z:\\etc\\shadow";
check(fso.FileExists(secret), "a file the user may not read is there");
expectFailure(function () { QV.Read(secret); }, 0x8007006E, "Failed to open the file", "a file the user may not read");
expectLog([["8007006E", ["szDirPath: Failed to open the file"]]], "the refused open");

fso.GetFile(path).Attributes = 0;
removeTree(dir);
done();
