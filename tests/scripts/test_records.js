// How many records a call leaves in the log, case by case, as the Log rows
// of docs/reference.md state them: one row per call, with whether it fails.
var dir = scratch("records");
function at(name) { return dir + "\\" + name; }
writeText(at("f.txt"), "x");
fso.CreateFolder(at("d"));
// Attributes that cannot be read: Wine reaches no share of this name.
var UNC = "\\\\qvnoserver\\share\\x";
var OK = false, FAILS = true;
// The mapping script's stand-in answers drive Q: and leaves a sub-key, so
// that the hand-shake key cannot be deleted after the mapping.
var shell = new ActiveXObject("WScript.Shell");
var KEY = "SOFTWARE\\QVRecords";
var programFiles = fso.GetSpecialFolder(0).Path + "\\downloaded program files";
var madeFolder = !fso.FolderExists(programFiles);
if (madeFolder) fso.CreateFolder(programFiles);
writeText(programFiles + "\\qvfileio.inf", "[QVANE]\r\nMappingScript=qvrecords-map.js\r\n");
writeText(programFiles + "\\qvrecords-map.js", [
    'var sh = new ActiveXObject("WScript.Shell"), k = "HKLM\\\\SOFTWARE\\\\QVRecords\\\\";',
    'sh.RegWrite(k + "Child\\\\x", "1", "REG_SZ");',
    'sh.RegWrite(k + "Drive", "Q:", "REG_SZ");',
    'sh.RegWrite(k + "Success", "Y", "REG_SZ");'].join("\r\n"));

var cases = [
    ["Write: a new file in an existing folder", 2, OK,
     function () { QV.Write("x", at("w1.txt"), true, false, false); }],
    ["Write: a new file in a new folder", 3, OK, function () { QV.Write("x", at("new\\w2.txt"), true, true, false); }],
    ["Write: no data", 2, FAILS, function () { QV.Write("", at("w3.txt"), true, true, false); }],
    ["Write: a path that names a folder", 3, FAILS, function () { QV.Write("x", at("d"), true, true, false); }],
    ["Write: a drive that does not exist", 4, FAILS,
     function () { QV.Write("x", "Q:\\qvrecords\\w.txt", true, true, false); }],
    ["Append: a new file in an existing folder", 2, OK,
     function () { QV.Append("x", at("a1.txt"), true, false, false); }],
    ["Append: a new file in a new folder", 3, OK,
     function () { QV.Append("x", at("new2\\a2.txt"), true, true, false); }],
    ["WriteToExistingFile: no free space to ask", 2, FAILS,
     function () { QV.WriteToExistingFile("x", "Q:\\x.txt", true, false); }],
    ["DirectoryExists: attributes not read", 2, FAILS, function () { QV.DirectoryExists(UNC); }],
    ["FileExists: the directory check fails", 3, FAILS, function () { QV.FileExists(UNC); }],
    ["CreateFile: an existing file", 1, FAILS, function () { QV.CreateFile(at("f.txt"), false, false); }],
    ["CreateFile: a missing directory", 2, FAILS, function () { QV.CreateFile(at("none\\c.txt"), false, false); }],
    ["CreateFile: the existence check fails", 4, FAILS, function () { QV.CreateFile(UNC, true, false); }],
    ["DeleteFile: a refused deletion", 1, FAILS, function () { QV.DeleteFile(at("d")); }],
    ["DeleteDirectory: missing, no flag", 3, FAILS, function () { QV.DeleteDirectory(at("none"), false, false); }],
    ["DeleteDirectory: missing, a flag", 2, FAILS, function () { QV.DeleteDirectory(at("none"), true, true); }],
    ["DeleteDirectory: a file, a flag", 2, FAILS, function () { QV.DeleteDirectory(at("f.txt"), true, false); }],
    ["CopyFile: overwriteReadOnly, no source", 3, FAILS,
     function () { QV.CopyFile(at("none.txt"), at("c.txt"), true, true); }],
    ["GetFileSize: a refused path", 2, FAILS, function () { QV.GetFileSize(at("n?.txt")); }],
    ["GetFileSize: a directory", 1, FAILS, function () { QV.GetFileSize(at("d")); }],
    ["GetFileSize: the directory check fails", 3, FAILS, function () { QV.GetFileSize(UNC); }],
    ["GetCreationDate: a directory", 2, FAILS, function () { QV.GetCreationDate(at("d")); }],
    ["GetLastModifiedTime: the directory check fails", 4, FAILS, function () { QV.GetLastModifiedTime(UNC); }],
    ["DriveExists: a drive that cannot be asked", 2, FAILS, function () { QV.DriveExists("\\\\server"); }],
    ["IsEmptyDirectory: a refused path", 1, FAILS, function () { QV.IsEmptyDirectory(at("n?")); }],
    ["FindFileOrDirectory: a refused pattern", 2, FAILS, function () { QV.FindFileOrDirectory(at("d"), ""); }],
    ["FindFileOrDirectory: a file to search", 3, FAILS, function () { QV.FindFileOrDirectory(at("f.txt"), "*"); }],
    ["MapNetworkDrive: a key that cannot be created", 3, FAILS,
     function () { QV.MapNetworkDrive("\\\\server\\share", "\\" + KEY, "ServerPath", "Drive", "Success"); }],
    ["MapNetworkDrive: a local path without its drive", 1, OK,
     function () { QV.MapNetworkDrive("Q:\\data", "", "", "", ""); }],
    ["MapNetworkDrive: the hand-shake key stays", 2, OK,
     function () { QV.MapNetworkDrive("\\\\server\\share", KEY, "ServerPath", "Drive", "Success"); }],
    ["CreateRegistryKey: a key that cannot be created", 3, FAILS,
     function () { QV.CreateRegistryKey(1, "\\Software\\QVRecords", "v", "d", 1); }],
    ["StartOrmik: no start switch", 1, FAILS, function () { QV.StartOrmik(); }]];
for (var i = 0; i < cases.length; i++) {
    var failed = false;
    clearLog();
    try { cases[i][3](); } catch (e) { failed = true; }
    eq(failed, cases[i][2], cases[i][0] + ": fails");
    eq(logRecords().length, cases[i][1], cases[i][0] + ": records");
}

shell.Run("reg.exe delete HKLM\\" + KEY + " /f", 0, true);
fso.DeleteFile(programFiles + "\\qvfileio.inf");
fso.DeleteFile(programFiles + "\\qvrecords-map.js");
if (madeFolder) fso.DeleteFolder(programFiles);
removeTree(dir);
done();
