// Write, Append, CreateFile and WriteToExistingFile from a script: the bytes
// that reach the disk, the flags, the refused paths and the records that
// each failure leaves, innermost first.
clearLog();
var dir = scratch("write");
function at(name) { return dir + "\\" + name; }
function notFound(path) { return ["80070002", ["bstrFullpath: " + path, "Error: File not found"]]; }

// Appends add exactly their text; a missing file is created first, which
// leaves the inner answers "missing" of FileExists (its own and CreateFile's).
var log = at("day.log");
QV.Append("a", log, true, false, false);
expectLog([notFound(log), notFound(log)], "the first Append");
clearLog();
QV.Append("b", log, false, false, false);
eq(fileText(log), "ab", "two Appends");
eq(logRecords().length, 0, "appending to an existing file logs nothing");
QV.Write("c", log, false, false, false);
eq(fileText(log), "c", "Write replaces the content");

// Line ends and characters go to disk as ANSI bytes, nothing added.
var text = at("text.txt");
QV.Write("x\r\ny\nz\r", text, true, false, false);
eq(fileText(text), "x\r\ny\nz\r", "CR LF and LF written as given");
eq(QV.Read(text), "x\ny\nz\r", "and read back through the text mode");
QV.Write("caf\u00e9 \u4e00!", text, true, false, false);
eq(fileText(text), "caf\u00e9 ?!", "a character outside the code page becomes ?");
QV.Write("ab\u0000cd", text, true, false, false);
eq(fileText(text), "ab", "data ends at a zero character");
QV.WriteToExistingFile("++", text, true, false);
eq(fileText(text), "ab++", "WriteToExistingFile appends");
QV.WriteToExistingFile("=", text, false, false);
eq(fileText(text), "=", "and overwrites");

// Missing directories: refused, or created with the whole chain.
clearLog();
var deep = at("m1\\m2\\m3"), deepFile = deep + "\\f.txt";
expectFailure(function () { QV.Write("x", deepFile, true, false, false); }, 0x80004004,
              "The directory does not exist", "a missing directory without the flag");
expectLog([["80070003", ["bstrFullpath: " + at("m1\\m2\\m3"), "Error: The path was not found"]],
           ["80004004", ["bstrPath: The directory does not exist"]],
           ["80004004", ["stdstrFullPath: The directory does not exist"]]], "the missing directory");
check(!fso.FolderExists(at("m1")), "nothing created");
QV.Write("deep", deepFile, true, true, false);
eq(fileText(deepFile), "deep", "directories and file created");

// A missing file with the create flag false.
clearLog();
expectFailure(function () { QV.Append("x", at("none.txt"), false, true, false); }, 0x80004004, "File not found",
              "a missing file without the flag");
expectLog([notFound(at("none.txt")), ["80004004", ["bstrFullPath: File not found"]],
           ["80004004", ["stdstrFullPath: File not found"]]], "the missing file");
check(!fso.FileExists(at("none.txt")), "no file created");

// Paths refused before the file system is asked.
clearLog();
expectFailure(function () { QV.Write("x", dir + "\\", true, true, false); }, 0x80070057, "Invalid file name",
              "a path ending in a backslash");
expectLog([["80070057", ["bstrFilename: Invalid file name"]], ["80070057", ["stdstrFullPath: Invalid file name"]]],
          "the empty file name");
clearLog();
expectFailure(function () { QV.Write("x", dir.replace(/\\/g, "/") + "/a.txt", true, true, false); }, 0x80070057,
              "Invalid file name", "forward slashes: cut at the colon, the name holds slashes");
clearLog();
expectFailure(function () { QV.Write("x", "bare.txt", true, true, false); }, 0x80070057,
              "Failed to determine if the directory exists", "a bare file name");
expectLog([["80070057", ["bstrDirectory: Invalid path name"]],
           ["80070057", ["bstrPath: Failed to determine if the directory exists"]],
           ["80070057", ["stdstrFullPath: Failed to determine if the directory exists"]]], "the bare name");
clearLog();
expectFailure(function () { QV.Write("", at("a.txt"), true, true, false); }, 0x80070057, "No data to write",
              "empty data");
expectLog([["80070057", ["bstrData: No data to write"]], ["80070057", ["stdstrFullPath: No data to write"]]],
          "the empty data");

// 261 characters are refused; 260 reach the file system. The path is made
// long with ".\" steps, so the file itself stays where the script host's
// own file calls (which stop short of 260) can remove it.
var longName = "long.txt", steps = 260 - (dir.length + 1) - longName.length;
if (steps % 2) longName = "long_.txt", steps--;
var path260 = dir + "\\" + new Array(steps / 2 + 1).join(".\\") + longName;
eq(path260.length, 260, "the 260-character path");
clearLog();
expectFailure(function () { QV.Write("x", path260 + "x", true, true, false); }, 0x80070057,
              "Invalid path name", "261 characters");
expectLog([["80070057", ["bstrFullPath: Invalid path name"]], ["80070057", ["stdstrFullPath: Invalid path name"]]],
          "the long path");
QV.Write("long", path260, true, true, false);
eq(QV.Read(path260), "long", "260 characters");
eq(fileText(at(longName)), "long", "the file it names");

// A path that does not begin with its drive is written on the volume that
// holds it: the device namespace's spelling of a drive, like the drive.
var device = "\\\\.\\" + dir;
QV.Write("w", device + "\\new\\w.txt", true, true, false);
QV.Append("a", device + "\\new\\a.txt", true, false, false);
QV.CreateFile(device + "\\c.txt", false, false);
QV.WriteToExistingFile("e", device + "\\c.txt", true, false);
QV.CreateDir(device + "\\d1\\d2");
eq([fileText(at("new\\w.txt")), fileText(at("new\\a.txt")), fileText(at("c.txt")), fso.FolderExists(at("d1\\d2"))].join(),
   "w,a,e,true", "written, appended and created through \\\\.\\");
// A share that cannot be reached: its own root is asked.
clearLog();
expectFailure(function () { QV.WriteToExistingFile("x", "\\\\server\\share\\a.txt", false, false); }, 0x80070003,
              "Failed to determine disk space", "WriteToExistingFile on a share out of reach");
expectLog([["80070003", ["szDrive: \\\\server\\share\\", "Error: The path was not found"]],
           ["80070003", ["bstrFullPath: Failed to determine disk space"]]], "the share's free space");

// A drive and a name: the drive is the directory part.
var relative = "C:qvscript-relative.txt", resolved = fso.GetAbsolutePathName(relative);
if (fso.FileExists(resolved)) fso.DeleteFile(resolved);
QV.Write("rel", relative, true, false, false);
eq(fileText(resolved), "rel", "a drive-relative path lands in the drive's current directory");
fso.DeleteFile(resolved);

// CreateFile and WriteToExistingFile on their own.
var existing = at("existing.txt");
writeText(existing, "content");
clearLog();
expectFailure(function () { QV.CreateFile(existing, false, false); }, 0x80070050,
              "File or directory already exists", "CreateFile without overwriting");
expectLog([["80070050", ["bstrFullpath: " + existing, "Error: File or directory already exists"]]], "the refused create");
eq(fileText(existing), "content", "left as it was");
QV.CreateFile(existing, true, false);
eq(fso.GetFile(existing).Size, 0, "CreateFile with overwriting empties the file");
clearLog();
expectFailure(function () { QV.WriteToExistingFile("x", at("gone.txt"), false, true); }, 0x80070002, "File not found",
              "WriteToExistingFile on a missing file");
expectLog([["80070002", ["szDirPath: " + at("gone.txt"), "Error: File not found"]]], "the missing file");
check(!fso.FileExists(at("gone.txt")), "WriteToExistingFile creates nothing");

// A large text goes through one write and comes back whole.
var line = new Array(100).join("0123456789") + "\n";
var parts = [];
for (var i = 0; i < 20 * 1024 * 1024 / line.length; i++) parts.push(line);
var big = parts.join("");
QV.Write(big, at("big.txt"), true, false, false);
eq(fso.GetFile(at("big.txt")).Size, big.length, "the size on disk");
check(QV.Read(at("big.txt")) === big, "20 MB round-trip through Write and Read");

removeTree(dir);
done();
