// A first JScript session with QVFileIO: a file written, read back, listed
// and measured in the temporary folder, and the workstation's name.
//   cscript //nologo hello.js
var fso = new ActiveXObject("Scripting.FileSystemObject");
var qv = new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
var shell = new ActiveXObject("WScript.Shell");
var folder = fso.GetSpecialFolder(2).Path + "\\qvfileio-hello";
qv.Write("Hello from QVFileIO\r\n", folder + "\\hello.txt", true, true, false);
WScript.Echo("Read: " + qv.Read(folder + "\\hello.txt").replace(/\n$/, ""));
WScript.Echo("GetDirectoryContents: " + qv.GetDirectoryContents(folder + "\\*.txt", true, false));
WScript.Echo("GetFileSize: " + qv.GetFileSize(folder + "\\hello.txt"));
WScript.Echo("GetWorkstationName: " + qv.GetWorkstationName());
WScript.Echo("Script host: " + shell.ExpandEnvironmentStrings("%PROCESSOR_ARCHITECTURE%").replace(/\0/g, ""));
qv.DeleteDirectory(folder, true, true);
try {
    qv.Read(folder + "\\hello.txt");
} catch (e) {
    WScript.Echo("A refused call: 0x" + (e.number >>> 0).toString(16).toUpperCase() + " " + e.description);
}
