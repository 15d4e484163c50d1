// Prints the width of the script host running it and whether the object
// can be created and called here. Run by tests/both-widths.sh,
// tests/package.sh and as the test script.width of each tree.
var shell = new ActiveXObject("WScript.Shell");
var arch = shell.ExpandEnvironmentStrings("%PROCESSOR_ARCHITECTURE%").replace(/\0/g, "");
var answer;
try {
    var qv = new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
    answer = qv.IsValidFileOrDirectoryName("a.txt", 0) && qv.GetWorkstationName().length > 0 ? "works" : "wrong";
} catch (e) {
    answer = "cannot be created (" + (e.number >>> 0).toString(16) + ")";
}
WScript.Echo("host " + arch + ": " + answer);
