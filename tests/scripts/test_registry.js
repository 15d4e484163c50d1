// The registry operations as a script sees them, cross-checked with the
// system's own tools: what the operations write is read with WScript.Shell's
// RegRead, what reg.exe writes is read through the operations.
var shell = new ActiveXObject("WScript.Shell");
var HKCU = 1, SZ = 1, DWORD = 4;
var KEY = "Software\\QVFileIOScriptTest", FULL = "HKEY_CURRENT_USER\\" + KEY;

function reg(args) { return shell.Run("reg.exe " + args, 0, true); }
reg("delete " + FULL + " /f");

// Written by the operations, read by the system.
clearLog();
QV.CreateRegistryKey(HKCU, KEY, "Text", "hello", SZ);
QV.CreateRegistryKey(HKCU, KEY, "Number", "42", DWORD);
QV.CreateRegistryKey(HKCU, KEY, "Atol", "12abc", DWORD);
QV.CreateRegistryKey(HKCU, KEY, "Nothing", "abc", DWORD);
QV.CreateRegistryKey(HKCU, KEY, "Expand", "%TEMP%", 2);
QV.CreateRegistryKey(HKCU, KEY + "\\Sub1", "Text", "", SZ);
QV.CreateRegistryKey(HKCU, KEY, "Cut", "ab\u0000cd", SZ);
// The default value, named by VBScript's vbNullString (JScript has no null
// text; Wine's VBScript hands it over as an empty one, which names the
// default value all the same).
eq(vbsError("QV.CreateRegistryKey 1, \"" + KEY + "\\Sub2\", vbNullString, \"default\", 1"), "0||",
   "a null value name");
eq(shell.RegRead(FULL + "\\Text"), "hello", "a text value");
eq(shell.RegRead(FULL + "\\Number"), 42, "a number");
eq(shell.RegRead(FULL + "\\Atol"), 12, "digits up to the first other character");
eq(shell.RegRead(FULL + "\\Nothing"), 0, "no digits give 0");
eq(shell.RegRead(FULL + "\\Sub1\\Text"), "", "an empty text");
eq(shell.RegRead(FULL + "\\Cut"), "ab", "a text ends at a zero character");
eq(shell.RegRead(FULL + "\\Sub2\\"), "default", "a null name writes the default value");
eq(logRecords().length, 0, "success leaves no record");

// Read back through the operations, and what reg.exe wrote.
reg("add " + FULL + " /v FromReg /t REG_SZ /d outside /f");
reg("add " + FULL + " /v RegNumber /t REG_DWORD /d 7 /f");
eq(QV.ReadRegistryStringData(HKCU, KEY, "Text"), "hello", "the text");
eq(QV.ReadRegistryStringData(HKCU, KEY, "FromReg"), "outside", "reg.exe's text");
eq(QV.ReadRegistryNumericData(HKCU, KEY, "Number"), 42, "the number");
eq(QV.ReadRegistryNumericData(HKCU, KEY, "RegNumber"), 7, "reg.exe's number");
eq(vbsEval("QV.ReadRegistryStringData(1, \"" + KEY + "\\Sub2\", vbNullString)"), "default", "the default value");
eq(QV.GetSubKeyCount(HKCU, KEY), 2, "two sub-keys");
var names = [QV.GetRegSubKeyName(HKCU, KEY, 0), QV.GetRegSubKeyName(HKCU, KEY, 1)].sort().join(",");
eq(names, "Sub1,Sub2", "the sub-keys by index");

// Failures: the reads leave no record, the others record and hand on.
clearLog();
expectFailure(function () { QV.ReadRegistryStringData(HKCU, KEY, "Missing"); }, 0x80070002,
              "Failed to read the registy key data", "a missing value");
expectFailure(function () { QV.ReadRegistryNumericData(HKCU, KEY, "Text"); }, 0x800700EA,
              "Failed to read the registy key data", "a text of more than 4 bytes is no number");
expectFailure(function () { QV.ReadRegistryNumericData(HKCU, KEY + "\\Missing", "Text"); }, 0x80070002,
              "Failed to open the registry key", "a missing key");
eq(logRecords().length, 0, "the reads write no record");
expectFailure(function () { QV.GetRegSubKeyName(HKCU, KEY, 2); }, 0x80070103, "Failed to read the registy key data",
              "an index past the sub-keys");
expectFailure(function () { QV.GetRegSubKeyName(HKCU, KEY, -1); }, 0x80070103, "Failed to read the registy key data",
              "a negative index");
expectFailure(function () { QV.DeleteRegistryKey(HKCU, KEY); }, 0x80004005, "Failed to delete the registry key.",
              "a key with sub-keys is not deleted");
expectLog([["80070103", ["bstrSubKey: " + KEY, "Error: Failed to read the registy key data"]],
           ["80070103", ["bstrSubKey: Failed to read the registy key data"]],
           ["80070103", ["bstrSubKey: " + KEY, "Error: Failed to read the registy key data"]],
           ["80070103", ["bstrSubKey: Failed to read the registy key data"]],
           ["80004005", ["DeleteKey: Failed to delete the registry key."]],
           ["80004005", ["bstrSubKey: Failed to delete the registry key."]]],
          "the manipulator's records, then the operation's");

// A root key the interface does not map is a failure, and nothing is touched.
clearLog();
var unmapped = [4, 5, -1];
for (var i = 0; i < unmapped.length; i++) {
    expectFailure(function () { QV.CreateRegistryKey(unmapped[i], KEY, "Dyn", "x", SZ); }, 0x80070057,
                  "Failed to find the predefined registry key", "root " + unmapped[i]);
    expectFailure(function () { QV.ReadRegistryStringData(unmapped[i], KEY, "Text"); }, 0x80070057,
                  "Failed to find the predefined registry key", "a read with root " + unmapped[i]);
}
eq(logRecords().length, 3, "only the first group records an unmapped root");

// Deleting: a value, then the sub-keys and the key.
QV.DeleteRegistryValue(HKCU, KEY, "Text");
expectFailure(function () { QV.ReadRegistryStringData(HKCU, KEY, "Text"); }, 0x80070002,
              "Failed to read the registy key data", "the value is gone");
QV.DeleteRegistryKey(HKCU, KEY + "\\Sub1");
QV.DeleteRegistryKey(HKCU, KEY + "\\Sub2");
QV.DeleteRegistryKey(HKCU, KEY);
eq(reg("query " + FULL), 1, "the key is gone");
done();
