// The ways out of the administrator's policy that need a link or a name the
// object never makes (run by tests/wayout.sh, which made C:\wo and keeps
// switching C:\wo\allowed\sub between a folder and a link to C:\wo\secret):
// each call fails or stays inside, and what lies outside is as it was,
// looked at with FSO and WshShell, not the object.
var REGLINK = WScript.Arguments(0), CALLS = +WScript.Arguments(1);
var VIEW = WScript.Arguments.length > 2 ? " " + WScript.Arguments(2) : "";
var shell = new ActiveXObject("WScript.Shell");
var POLICY = "HKLM\\SOFTWARE\\Policies\\QVFileIO";
var WO = "C:\\wo", ALLOWED = WO + "\\allowed", SECRET = WO + "\\secret";
var KEYS = "Software\\QVWayOut", SECRET_KEY = KEYS + "\\Secret", ALLOWED_KEY = KEYS + "\\Allowed";

function run(command) { return shell.Run(command, 0, true); }
function reg(args) { eq(run("reg " + args + VIEW), 0, "reg " + args); }
// Strings of a REG_MULTI_SZ are separated by "#"; a closing backslash is
// doubled, so that the quote after it still ends the argument.
function policy(values) {
    run("reg delete " + POLICY + " /f" + VIEW);
    reg("add " + POLICY + " /f");
    for (var i = 0; i < values.length; i++)
        reg("add " + POLICY + " /v " + values[i][0] + " /t " + values[i][1] + " /s # /d \"" +
            values[i][2].replace(/\\$/, "\\\\") + "\" /f");
}
function regRead(name) { try { return shell.RegRead(name); } catch (e) { return "missing"; } }
// What no call may change: the secret folder's files and texts, and the
// keys outside the policy.
function outside() {
    var folder = fso.GetFolder(SECRET), out = [folder.Files.Count, folder.SubFolders.Count];
    var files = [SECRET + "\\s.txt", SECRET + "\\h.txt", SECRET + "\\inner\\d.txt"];
    for (var i = 0; i < files.length; i++) out.push(files[i] + ":" + fso.GetFile(files[i]).Attributes + ":" + fileText(files[i]));
    var keys = ["HKCU\\" + SECRET_KEY + "\\v", "HKCU\\" + SECRET_KEY + "\\Sub\\v", "HKLM\\" + SECRET_KEY + "\\v", POLICY + "\\DriveMapping"];
    for (var i = 0; i < keys.length; i++) out.push(keys[i] + "=" + regRead(keys[i]));
    return out.sort().join("\n");
}
// The call fails, whatever its answer, or is refused exactly, or (where
// it may) stays inside; nothing outside changes.
function fails(what, fn, exact, inside) {
    var before = outside();
    if (exact) expectFailure(fn, 0x80070005, "Refused by the administrator's policy", what);
    else try { fn(); check(inside, what + ": it succeeded"); } catch (e) { check(true, what); }
    eq(outside(), before, what + ": outside as it was");
}

reg("add HKCU\\" + SECRET_KEY + " /v v /d s /f");
reg("add HKCU\\" + SECRET_KEY + "\\Sub /v v /d s /f");
reg("add HKLM\\" + SECRET_KEY + " /v v /d s /f");
reg("add HKCU\\" + ALLOWED_KEY + " /v v /d a /f");
policy([["Folders", "REG_MULTI_SZ", ALLOWED], ["DriveMapping", "REG_DWORD", "1"],
        ["RegistryKeys", "REG_MULTI_SZ", "HKCU\\" + ALLOWED_KEY + "#HKLM\\" + ALLOWED_KEY]]);
// Registry links inside the allowed key: to a key outside, and to the policy's own.
eq(run(REGLINK + " HKCU " + ALLOWED_KEY + "\\rlink HKCU " + SECRET_KEY), 0, "a registry link to a key outside");
eq(run(REGLINK + " HKCU " + ALLOWED_KEY + "\\plink HKLM SOFTWARE\\Policies\\QVFileIO"), 0, "a registry link to the policy");
var qv = new ActiveXObject(PROGID);

var FLINK = ALLOWED + "\\flink", HARD = ALLOWED + "\\hard.txt", A = ALLOWED + "\\a.txt";
var ATTACKS = [
    // A search string that climbs out of the folder judged.
    ["search string with ..", function () { qv.FindFileOrDirectory(ALLOWED, "..\\secret\\*"); }, true],
    ["search string naming a file outside", function () { qv.FindFileOrDirectory(ALLOWED, "..\\secret\\s.txt"); }, true],
    ["search string with a separator", function () { qv.FindFileOrDirectory(ALLOWED, "dlink\\*"); }, true],
    // The hand-shake key, judged as a key the script writes and deletes.
    ["hand-shake key outside", function () { qv.MapNetworkDrive("\\\\server\\share", SECRET_KEY, "a", "b", "c"); }, true],
    ["hand-shake key: the policy's", function () { qv.MapNetworkDrive("\\\\server\\share", "SOFTWARE\\Policies\\QVFileIO", "Folders", "b", "c"); }, true],
    // A link to a file outside, inside the allowed folder.
    ["file link: Read", function () { qv.Read(FLINK); }], ["file link: Write", function () { qv.Write("x", FLINK, true, true, true); }],
    ["file link: Append", function () { qv.Append("x", FLINK, false, false, true); }],
    ["file link: WriteToExistingFile", function () { qv.WriteToExistingFile("x", FLINK, false, true); }],
    ["file link: CreateFile over it", function () { qv.CreateFile(FLINK, true, true); }],
    ["file link: CopyFile from", function () { qv.CopyFile(FLINK, ALLOWED + "\\copy.txt", true, true); }],
    ["file link: SetAsReadOnly", function () { qv.SetAsReadOnly(FLINK); }],
    ["file link: GetLastModifiedTime", function () { qv.GetLastModifiedTime(FLINK); }],
    ["file link: MoveFileOrDirectory", function () { qv.MoveFileOrDirectory(FLINK, ALLOWED + "\\moved"); }],
    // Last: a copy over the link may replace the link itself, inside.
    ["file link: CopyFile over it", function () { qv.CopyFile(A, FLINK, true, true); }, false, true],
    // A link to a folder outside.
    ["folder link: Write", function () { qv.Write("x", ALLOWED + "\\dlink\\new.txt", true, true, true); }, true],
    ["folder link: DeleteDirectory", function () { qv.DeleteDirectory(ALLOWED + "\\dlink", true, true); }, true],
    // A file with another name outside.
    ["hard link: Read", function () { qv.Read(HARD); }], ["hard link: Write", function () { qv.Write("x", HARD, true, true, true); }],
    ["hard link: Append", function () { qv.Append("x", HARD, false, false, false); }],
    ["hard link: SetAsHidden", function () { qv.SetAsHidden(HARD); }],
    // A registry link inside the allowed key.
    ["registry link: CreateRegistryKey", function () { qv.CreateRegistryKey(1, ALLOWED_KEY + "\\rlink", "v", "x", 1); }],
    ["registry link: ReadRegistryStringData", function () { qv.ReadRegistryStringData(1, ALLOWED_KEY + "\\rlink", "v"); }],
    ["registry link: DeleteRegistryValue", function () { qv.DeleteRegistryValue(1, ALLOWED_KEY + "\\rlink", "v"); }],
    ["registry link: a key below it", function () { qv.DeleteRegistryKey(1, ALLOWED_KEY + "\\rlink\\Sub"); }],
    ["registry link to the policy: written", function () { qv.CreateRegistryKey(1, ALLOWED_KEY + "\\plink", "Folders", "C:\\", 1); }],
    ["registry link to the policy: a value deleted", function () { qv.DeleteRegistryValue(1, ALLOWED_KEY + "\\plink", "Folders"); }]];
for (var i = 0; i < ATTACKS.length; i++) fails(ATTACKS[i][0], ATTACKS[i][1], ATTACKS[i][2], ATTACKS[i][3]);

// What stays allowed: the link itself goes, never what it leads to.
try { qv.DeleteRegistryKey(1, ALLOWED_KEY + "\\rlink"); } catch (e) { check(false, "a registry link deleted: " + e.description); }
eq(regRead("HKCU\\" + SECRET_KEY + "\\v"), "s", "what the deleted link led to");
try { qv.MapNetworkDrive("\\\\server\\share", ALLOWED_KEY + "\\Map", "a", "b", "c"); } catch (e) {
    check(e.description != "Refused by the administrator's policy", "an allowed hand-shake key is used: " + e.description);
}
eq(qv.Read(A), "a\n", "a file of the folder is read");

// A folder with a closing backslash, and a whole drive, are entries too.
policy([["Folders", "REG_MULTI_SZ", "Q:\\#" + WO + "\\trail\\"]]);
var entries = new ActiveXObject(PROGID);
try { entries.Write("t", WO + "\\trail\\t.txt", true, false, false); check(true, "C:\\wo\\trail\\"); } catch (e) { check(false, "a folder with a closing backslash: " + e.description); }
try { entries.Write("q", "Q:\\q.txt", true, false, false); check(true, "Q:\\"); } catch (e) { check(false, "a whole drive: " + e.description); }
fails("outside both", function () { entries.Write("x", SECRET + "\\x.txt", true, false, false); }, true);

// The race: each call judged where it acts never lands outside, whichever
// way the switch fell; a call may fail. The copies go to new names: Wine
// renames (a copy over an existing file) and unlinks by the path of the
// folder once more, where Windows acts on the folder's handle, so there a
// switch can still redirect them.
policy([["Folders", "REG_MULTI_SZ", ALLOWED]]);
var racer = new ActiveXObject(PROGID);
var SUB = ALLOWED + "\\sub", before = outside(), leaked = 0;
function attempt(fn) { try { return fn(); } catch (e) { return null; } }
for (var i = 0; i < CALLS; i++) {
    if (attempt(function () { return racer.Read(SUB + "\\s.txt"); }) === "secret\n") leaked++;
    attempt(function () { racer.WriteToExistingFile("w", SUB + "\\s.txt", true, false); });
    attempt(function () { racer.Append("p", SUB + "\\h.txt", false, false, false); });
    attempt(function () { racer.CopyFile(SUB + "\\s.txt", ALLOWED + "\\copied" + i + ".txt", false, false); });
    attempt(function () { racer.CopyFile(A, SUB + "\\planted" + i + ".txt", false, false); });
    attempt(function () { racer.CreateDir(SUB + "\\t\\u"); racer.DeleteDirectory(SUB + "\\t", true, true); });
    attempt(function () { racer.DeleteDirectory(SUB + "\\inner", true, true); });
}
eq(leaked, 0, "the secret text was never read");
var copied = 0;
for (var i = 0; i < CALLS; i++) if (fso.FileExists(ALLOWED + "\\copied" + i + ".txt")) copied++;
eq(copied, 0, "the secret was never copied in");
eq(outside(), before, "after " + CALLS + " rounds beside the switch, outside as it was");
run(REGLINK + " /d HKCU " + ALLOWED_KEY + "\\plink");
run("reg delete HKCU\\" + KEYS + " /f" + VIEW);
run("reg delete HKLM\\" + KEYS + " /f" + VIEW);
done();
