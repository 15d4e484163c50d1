// Creating the object by its ProgID, the answers of name validation, and a
// refused call arriving as an exception with our description and source.
clearLog();
check(typeof QV == "object", "the object is created by its ProgID");

// The result is the number 1, not the script's true (-1): a plain truth
// test passes, a comparison with true does not.
var cases = [
    ["C:\\temp\\a.txt", 1, true], ["C:\\temp\\a.txt", 0, false], ["a.txt", 0, true], ["a.txt", 1, true],
    ["   ", 1, false], [" a", 0, true], ["", 1, false], ["a/b", 1, true], ["a/b", 0, false],
    ["C:\\a:b", 1, true], ["C:\\a:b", 0, false], ["a*b", 1, false], ["a?b", 1, false], ["a|b", 1, false],
    ["a<b", 0, false], ["a>b", 1, false], ["a\"b", 1, false], ["a\tb", 0, true], ["a\u4e00b", 1, true]
];
for (var i = 0; i < cases.length; i++) {
    var r = QV.IsValidFileOrDirectoryName(cases[i][0], cases[i][1]);
    eq(!!r, cases[i][2], "IsValidFileOrDirectoryName(" + show(cases[i][0]) + ", " + cases[i][1] + ")");
}
var long260 = "C:\\" + new Array(258).join("x"), long261 = long260 + "y";
eq(long260.length, 260, "the 260-character path");
check(QV.IsValidFileOrDirectoryName(long260, 1), "260 characters can be valid");
check(!QV.IsValidFileOrDirectoryName(long261, 1), "261 characters never are");
eq(logRecords().length, 0, "an invalid name is an answer, not a failure");

expectFailure(function () { QV.IsValidFileOrDirectoryName("a.txt", 2); }, 0x80070057, "Invalid flag value",
              "a flag of 2");
expectFailure(function () { QV.IsValidFileOrDirectoryName(undefined, -1); }, 0x80070057, "Invalid flag value",
              "a flag of -1 with an empty name");
expectLog([["80070057", ["bstrName: Invalid flag value"]], ["80070057", ["bstrName: Invalid flag value"]]],
          "two refused flags");
eq(logRecords()[0].file, "QVFileIO.cpp", "the record names the reporting module");

clearLog();
eq(vbsError("QV.IsValidFileOrDirectoryName \"a\", 2"), "80070057|Invalid flag value|" + PROGID,
   "VBScript sees number, description and source");
eq(vbsEval("QV.IsValidFileOrDirectoryName(\"a\", 0) = True"), false, "a stored 1 is not VBScript's True");
eq(vbsEval("CBool(QV.IsValidFileOrDirectoryName(\"a\", 0))"), true, "but passes a truth test");
done();
