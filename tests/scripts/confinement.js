// The administrator's policy: every spelling of a place outside the allowed
// folders is refused by a reading, a changing and a walking call, and the
// disk and the registry are as they were (looked at with FSO and WshShell,
// not the object); the same spellings of allowed places work. Run by
// tests/confinement.sh, which builds C:\cf and passes the short names of
// its two folders and the prefix's C: drive as Z: sees it.
var SHORT_SECRET = WScript.Arguments(0), SHORT_ALLOWED = WScript.Arguments(1), DRIVE_C = WScript.Arguments(2);
var VIEW = WScript.Arguments.length > 3 ? " " + WScript.Arguments(3) : " /reg:64";
var shell = new ActiveXObject("WScript.Shell");
var POLICY = "HKLM\\SOFTWARE\\Policies\\QVFileIO";
var REFUSED = [0x80070005, "Refused by the administrator's policy"];
var CF = "C:\\cf", ALLOWED = CF + "\\allowedfolder", SECRET = CF + "\\secretfolder", READONLY = CF + "\\readonlyfolder";

function reg(args) { eq(shell.Run("reg " + args + VIEW, 0, true), 0, "reg " + args); }
function policy(values) {  // [name, type, data]; null: no key at all
    shell.Run("reg delete " + POLICY + " /f" + VIEW, 0, true);
    if (!values) return;
    reg("add " + POLICY + " /f");
    for (var i = 0; i < values.length; i++)
        reg("add " + POLICY + " /v " + values[i][0] + " /t " + values[i][1] + " /d \"" + values[i][2] + "\" /f");
}
var MAIN = [["Folders", "REG_MULTI_SZ", ALLOWED + "\\0C:\\qvconfine-missing"], ["ReadOnlyFolders", "REG_MULTI_SZ", READONLY],
            ["RegistryKeys", "REG_MULTI_SZ", "HKCU\\Software\\QVConfine\\Allowed\\0HKEY_LOCAL_MACHINE\\SOFTWARE\\Policies"]];

// What a refused call must leave as it was: the folders outside the
// allowed one, their files' sizes and attributes, what lies beside C:\cf,
// and the registry keys of the test.
function snapshot() {
    var out = [fso.FolderExists("C:\\qvevil"), fso.FolderExists(ALLOWED + "2")];
    var folders = [SECRET, SECRET + "\\inner", READONLY], files = [SECRET + "\\s.txt", SECRET + "\\inner\\d.txt", READONLY + "\\r.txt"];
    for (var i = 0; i < folders.length; i++) {
        var f = fso.GetFolder(folders[i]);
        out.push(folders[i] + ":" + f.Files.Count + ":" + f.SubFolders.Count);
    }
    for (var i = 0; i < files.length; i++) {
        var f = fso.GetFile(files[i]);
        out.push(files[i] + ":" + f.Attributes + ":" + fileText(files[i]) + ":" + f.DateLastModified);
    }
    var keys = ["HKCU\\Software\\QVConfine\\Secret\\v", "HKCU\\Software\\QVConfine\\Allowed\\v", POLICY + "\\Folders"];
    for (var i = 0; i < keys.length; i++) {
        try { out.push(keys[i] + "=" + shell.RegRead(keys[i])); } catch (e) { out.push(keys[i] + " missing"); }
    }
    return out.join("\n");
}
function refused(what, fn) {
    var before = snapshot();
    expectFailure(fn, REFUSED[0], REFUSED[1], what);
    eq(snapshot(), before, what + ": nothing changed");
}
function works(what, fn) {
    try { fn(); check(true, what); } catch (e) { check(false, what + ": " + hex(e.number) + " " + e.description); }
}

policy(null);
reg("add HKCU\\Software\\QVConfine\\Secret /v v /d s /f");
reg("add HKCU\\Software\\QVConfine\\Allowed /v v /d a /f");
policy(MAIN);
var qv = new ActiveXObject(PROGID);

// Each spelling names a folder ({F}: secretfolder or allowedfolder) and a
// file in it; the outside one must be refused, the inside one must work.
var SPELLINGS = [
    ["dot dot", ALLOWED + "\\..\\{F}"], ["forward slashes", "C:/cf/allowedfolder/../{F}"],
    ["trailing dot", CF + "\\{F}."], ["trailing blanks", CF + "\\{F}", "  "], ["doubled separators", "C:\\cf\\\\{F}"],
    ["other case", "C:\\CF\\{F}".toUpperCase()], ["short name", CF + "\\{S}"], ["\\\\.\\ prefix", "\\\\.\\" + CF + "\\{F}"],
    ["drive-relative", "C:cf\\{F}"], ["another drive", DRIVE_C + "\\cf\\{F}"], ["a link on the way", ALLOWED + "\\{L}"]];
var OUT = {F: "secretfolder", S: SHORT_SECRET, L: "link", file: "s.txt"};
var IN = {F: "allowedfolder", S: SHORT_ALLOWED, L: "inlink", file: "a.txt"};
function spell(row, place) {
    var folder = row[1].replace("{F}", place.F).replace("{S}", place.S).replace("{L}", place.L);
    var file = place === IN && row[1].indexOf("{L}") >= 0 ? "b.txt" : place.file;
    return {folder: folder, file: folder + "\\" + file + (row[2] || "")};
}
for (var i = 0; i < SPELLINGS.length; i++) {
    var name = SPELLINGS[i][0], out = spell(SPELLINGS[i], OUT), inside = spell(SPELLINGS[i], IN);
    refused(name + ": Read", function () { qv.Read(out.file); });
    refused(name + ": Write", function () { qv.Write("x", out.file, true, true, true); });
    refused(name + ": DeleteFile", function () { qv.DeleteFile(out.file); });
    refused(name + ": FindFileOrDirectory", function () { qv.FindFileOrDirectory(out.folder, "*"); });
    works(name + ": Read inside", function () { qv.Read(inside.file); });
    // Write takes its drive from the first character: not a \\.\ path.
    if (inside.folder.charAt(1) == ":")
        works(name + ": Write inside", function () { qv.Write("w", inside.folder + "\\new.txt", true, false, false); });
    works(name + ": FindFileOrDirectory inside", function () { qv.FindFileOrDirectory(inside.folder, "*.txt"); });
}

// Each operation that takes a place, outside the policy.
var S = SECRET + "\\s.txt", A = ALLOWED + "\\a.txt";
var OPERATIONS = [
    ["CreateDir", function () { qv.CreateDir(SECRET + "\\new"); }],
    ["CreateDir of a chain that leaves and comes back", function () { qv.CreateDir(ALLOWED + "\\..\\..\\qvevil\\..\\cf\\allowedfolder\\x"); }],
    ["FileExists", function () { qv.FileExists(S); }], ["DirectoryExists", function () { qv.DirectoryExists(SECRET); }],
    ["IsDirectoryName", function () { qv.IsDirectoryName(SECRET); }], ["CreateFile", function () { qv.CreateFile(S, true, true); }],
    ["WriteToExistingFile", function () { qv.WriteToExistingFile("x", S, true, false); }],
    ["Append", function () { qv.Append("x", S, true, true, false); }], ["SetAsHidden", function () { qv.SetAsHidden(S); }],
    ["ClearFileAttributes", function () { qv.ClearFileAttributes(S); }],
    ["DeleteDirectory", function () { qv.DeleteDirectory(SECRET, true, true); }],
    ["MoveFileOrDirectory out", function () { qv.MoveFileOrDirectory(A, SECRET + "\\m.txt"); }],
    ["MoveFileOrDirectory in", function () { qv.MoveFileOrDirectory(S, ALLOWED + "\\m.txt"); }],
    ["CopyFile in", function () { qv.CopyFile(S, ALLOWED + "\\c.txt", true, true); }],
    ["CopyFile out", function () { qv.CopyFile(A, SECRET + "\\c.txt", true, true); }],
    ["GetFileSize", function () { qv.GetFileSize(S); }], ["GetLastModifiedDate", function () { qv.GetLastModifiedDate(S); }],
    ["GetDirectoryContents", function () { qv.GetDirectoryContents(SECRET + "\\*", true, true); }],
    ["GetDirectoryContents through a link", function () { qv.GetDirectoryContents(ALLOWED + "\\link\\*", true, true); }],
    ["IsEmptyDirectory", function () { qv.IsEmptyDirectory(SECRET); }],
    ["a read-only folder: Write", function () { qv.Write("x", READONLY + "\\r.txt", true, true, true); }],
    ["a read-only folder: SetAsReadOnly", function () { qv.SetAsReadOnly(READONLY + "\\r.txt"); }],
    ["a named folder: DeleteDirectory", function () { qv.DeleteDirectory(ALLOWED, false, false); }],
    ["a named folder: MoveFileOrDirectory", function () { qv.MoveFileOrDirectory(ALLOWED, ALLOWED + "2"); }],
    ["a named folder: SetAsHidden", function () { qv.SetAsHidden(ALLOWED); }],
    ["a drive without a named folder", function () { qv.GetFreeDiskSpace("D"); }],
    ["MapNetworkDrive", function () { qv.MapNetworkDrive("\\\\server\\share", "SOFTWARE\\QVConfine", "a", "b", "c"); }],
    ["StartOrmik", function () { qv.StartOrmik(); }],
    ["a key outside", function () { qv.CreateRegistryKey(1, "Software\\QVConfine\\Secret", "v", "x", 1); }],
    ["a key that begins like an allowed one", function () { qv.CreateRegistryKey(1, "Software\\QVConfine\\AllowedX", "v", "x", 1); }],
    ["an allowed key under another root", function () { qv.CreateRegistryKey(0, "Software\\QVConfine\\Allowed", "v", "x", 1); }],
    ["a key with doubled separators", function () { qv.CreateRegistryKey(1, "Software\\QVConfine\\\\Allowed", "v", "x", 1); }],
    ["reading a key outside", function () { qv.ReadRegistryStringData(1, "Software\\QVConfine\\Secret", "v"); }],
    ["deleting a named key", function () { qv.DeleteRegistryKey(1, "Software\\QVConfine\\Allowed"); }],
    ["the policy's own key", function () { qv.CreateRegistryKey(2, "SOFTWARE\\Policies\\QVFileIO", "Folders", "C:\\", 1); }],
    ["the policy's own value", function () { qv.DeleteRegistryValue(2, "SOFTWARE\\Policies\\QVFileIO", "Folders"); }],
    ["the policy's own key deleted", function () { qv.DeleteRegistryKey(2, "SOFTWARE\\Policies\\QVFileIO"); }]];
for (var i = 0; i < OPERATIONS.length; i++) refused(OPERATIONS[i][0], OPERATIONS[i][1]);

clearLog();
refused("one record naming the place", function () { qv.Read(S); });
expectLog([["80070005", ["szDirPath: " + S, "Error: " + REFUSED[1]]]], "the refusal's record");
expectFailure(function () { qv.Read(SECRET + "\\*"); }, 0x80070057, "Invalid path name", "an invalid path keeps its answer");

// What the policy allows, and what it never confines.
works("reading a read-only folder", function () { qv.Read(READONLY + "\\r.txt"); });
works("copying out of a read-only folder", function () { qv.CopyFile(READONLY + "\\r.txt", ALLOWED + "\\r.txt", true, false); });
works("a key below a named one", function () { qv.CreateRegistryKey(1, "Software\\QVConfine\\Allowed\\Sub", "v", "x", 1); });
works("the named key's own values", function () { qv.ReadRegistryStringData(1, "Software\\QVConfine\\Allowed", "v"); });
works("a drive that holds a named folder", function () { qv.DriveExists("C:"); });
works("names, the workstation", function () { qv.IsValidFileOrDirectoryName("a.txt", 0); qv.GetWorkstationName(); });
var found = qv.FindFileOrDirectory(ALLOWED, "*.txt");
check(found && found.indexOf("a.txt") >= 0 && found.indexOf("s.txt") < 0, "a search does not pass through the link: " + found);
var before = snapshot();
try { qv.DeleteDirectory(ALLOWED + "\\tree", true, true); } catch (e) {}
check(!fso.FileExists(ALLOWED + "\\tree\\x.txt") && !fso.FolderExists(ALLOWED + "\\tree\\deep"),
      "a tree in the allowed folder is deleted, its folders within folders too");
eq(snapshot(), before, "what the tree's link leads to is left as it was");

// The policy's own cases: each object reads the policy as it stands when made.
function records() { return logRecords().length; }
var cases = [
    ["no key: nothing is confined", null, 0, true],
    ["an empty key confines everything", [], 0, false],
    ["a value of another type allows nothing", [["Folders", "REG_SZ", ALLOWED]], 1, false],
    ["a relative folder allows nothing", [["Folders", "REG_MULTI_SZ", "cf\\allowedfolder"]], 1, false],
    ["a key without its root allows nothing", [["Folders", "REG_MULTI_SZ", ALLOWED], ["RegistryKeys", "REG_MULTI_SZ", "Software\\QVConfine"]], 1, true]];
for (var i = 0; i < cases.length; i++) {
    policy(cases[i][1]);
    clearLog();
    var made = new ActiveXObject(PROGID);
    eq(records(), cases[i][2], cases[i][0] + ": records at creation");
    var readable = true;
    try { made.Read(A); } catch (e) { readable = false; eq(e.description, REFUSED[1], cases[i][0]); }
    eq(readable, cases[i][3], cases[i][0] + ": an allowed file is read");
}
policy([["Folders", "REG_MULTI_SZ", SECRET]]);
var later = new ActiveXObject(PROGID);
works("an object made after a change obeys the new policy", function () { later.Read(S); });
refused("an object made before keeps the policy it read", function () { qv.Read(S); });
policy(null);
done();
