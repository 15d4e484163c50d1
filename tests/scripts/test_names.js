// Every name Windows can hold reaches its own file or key, and never a
// look-alike: names the ANSI code page has, names it lacks (Greek, Cyrillic,
// CJK, a character beyond the Basic Multilingual Plane), fullwidth letters
// that best fit would turn into "full", and a combining accent, against
// every family of operations. Each result is looked at with FSO and
// WshShell, not the object.
var shell = new ActiveXObject("WScript.Shell");
var dir = scratch("names");
var NAMES = ["caf\u00e9", "\u03a9\u03bc\u03ad\u03b3\u03b1", "\u0416\u0443\u043a", "\u65e5\u672c", "\ud83d\ude00",
             "\uff46\uff55\uff4c\uff4c", "e\u0301"];
// The look-alikes of the last two, which must stay as they are.
writeText(dir + "\\full.txt", "look-alike");
writeText(dir + "\\\u00e9.txt", "precomposed");
var KEYS = "Software\\QVNames";
shell.Run("reg delete HKCU\\" + KEYS + " /f", 0, true);

function works(what, fn) {
    try { return fn(); } catch (e) { check(false, what + ": " + hex(e.number) + " " + e.description); }
}
for (var i = 0; i < NAMES.length; i++) {
    var n = NAMES[i], f = dir + "\\" + n + ".txt", what = "name " + i;
    works(what + " CreateFile", function () { QV.CreateFile(f, false, false); });
    check(fso.FileExists(f), what + ": created");
    works(what + " Write", function () { QV.Write("x", f, true, false, false); });
    eq(fso.FileExists(f) && fileText(f), "x", what + ": written");
    eq(works(what + " Read", function () { return QV.Read(f); }), "x", what + ": read");
    works(what + " SetAsHidden", function () { QV.SetAsHidden(f); });
    eq(fso.GetFile(f).Attributes & 2, 2, what + ": hidden");
    works(what + " ClearFileAttributes", function () { QV.ClearFileAttributes(f); });
    eq(works(what + " GetFileSize", function () { return QV.GetFileSize(f); }), 1, what + ": size");
    check(works(what + " GetLastModifiedDate", function () { return QV.GetLastModifiedDate(f); }), what + ": a date");
    var c = dir + "\\" + n + "-c.txt", m = dir + "\\" + n + "-m.txt";
    works(what + " CopyFile", function () { QV.CopyFile(f, c, false, false); });
    eq(fso.FileExists(c) && fileText(c), "x", what + ": copied");
    works(what + " MoveFileOrDirectory", function () { QV.MoveFileOrDirectory(c, m); });
    check(fso.FileExists(m) && !fso.FileExists(c), what + ": moved");
    var listed = works(what + " GetDirectoryContents", function () { return QV.GetDirectoryContents(dir + "\\*", true, false); });
    check(("|" + listed + "|").indexOf("|" + n + ".txt|") >= 0, what + ": listed by its true name");
    var found = works(what + " FindFileOrDirectory", function () { return QV.FindFileOrDirectory(dir, n + ".*"); });
    eq(found, f, what + ": found by its true name");
    works(what + " DeleteFile", function () { QV.DeleteFile(m); });
    check(!fso.FileExists(m), what + ": deleted");
    var tree = dir + "\\" + n;
    works(what + " CreateDir", function () { QV.CreateDir(tree + "\\" + n); });
    works(what + " Write in the tree", function () { QV.Write("y", tree + "\\" + n + "\\" + n + ".txt", true, false, false); });
    works(what + " DeleteDirectory", function () { QV.DeleteDirectory(tree, true, true); });
    check(!fso.FolderExists(tree), what + ": tree deleted");
    works(what + " CreateRegistryKey", function () { QV.CreateRegistryKey(1, KEYS + "\\" + n, n, n + "!", 1); });
    eq(shell.RegRead("HKCU\\" + KEYS + "\\" + n + "\\" + n), n + "!", what + ": the value's name and text stored");
    eq(works(what + " ReadRegistryStringData", function () { return QV.ReadRegistryStringData(1, KEYS + "\\" + n, n); }),
       n + "!", what + ": the text read back");
}
var names = [];
for (var i = 0; i < QV.GetSubKeyCount(1, KEYS); i++) names.push(QV.GetRegSubKeyName(1, KEYS, i));
eq(names.length, NAMES.length, "every key made, no look-alike merged");
for (var i = 0; i < NAMES.length; i++) check(("|" + names.join("|") + "|").indexOf("|" + NAMES[i] + "|") >= 0, "key " + i + " by its true name");
eq(fileText(dir + "\\full.txt"), "look-alike", "the fullwidth name's look-alike untouched");
eq(fileText(dir + "\\\u00e9.txt"), "precomposed", "the combining accent's look-alike untouched");

// The log stays ANSI: a character the code page lacks is its default
// character there, never a look-alike.
clearLog();
try { QV.DeleteFile(dir + "\\\uff46\u65e5.txt"); } catch (e) {}
check(logText().indexOf(dir + "\\??.txt") >= 0 && logText().indexOf("\\f?.txt") < 0, "the record names ??.txt");
shell.Run("reg delete HKCU\\" + KEYS + " /f", 0, true);
removeTree(dir);
done();
