// The workstation operations as a script sees them, with the prefix's own
// files and registry set up here and removed afterwards: the drive mapping
// through the real wscript.exe and a hand-shake script, the script path
// from wkstn.ini, the host name, and the helper's start. The argument is the
// folder of the stand-in Ormik.exe.
var shell = new ActiveXObject("WScript.Shell");
var windows = fso.GetSpecialFolder(0).Path;
var programFiles = windows + "\\downloaded program files";
var KEY = "SOFTWARE\\Quorvane\\QVFileIO\\Mapping";

function reg(args) { return shell.Run("reg.exe " + args, 0, true); }
function waitFor(path) {
    for (var end = new Date().getTime() + 20000; !fso.FileExists(path) && new Date().getTime() < end;) {}
    return fso.FileExists(path);
}

// Drive mapping, local branch: only the drive is checked.
eq(QV.MapNetworkDrive("C:\\", KEY, "ServerPath", "Drive", "Success"), "C:", "one trailing backslash goes");
eq(QV.MapNetworkDrive("C:\\data\\\\", KEY, "ServerPath", "Drive", "Success"), "C:\\data\\", "only one goes");
eq(QV.MapNetworkDrive("\\", KEY, "ServerPath", "Drive", "Success"), "", "a lone backslash gives an empty text");

// Network branch: a script playing the hand-shake, chosen by the share's name.
var madeFolder = !fso.FolderExists(programFiles);
if (madeFolder) fso.CreateFolder(programFiles);
writeText(programFiles + "\\qvtest-map.js", [
    'var KEY = "HKLM\\\\' + KEY.replace(/\\/g, "\\\\\\\\") + '\\\\";',
    'var sh = new ActiveXObject("WScript.Shell");',
    'var server = sh.RegRead(KEY + "ServerPath");',
    'var mode = server.substring(server.lastIndexOf("\\\\") + 1);',
    'if (mode != "silent" && mode != "nodrive") sh.RegWrite(KEY + "Drive", "Q:", "REG_SZ");',
    'if (mode != "silent") sh.RegWrite(KEY + "Success", mode == "ok" ? "" : mode, "REG_SZ");'].join("\r\n"));
reg("delete HKLM\\" + KEY + " /f");
clearLog();
expectFailure(function () { QV.MapNetworkDrive("\\\\server\\ok", KEY, "ServerPath", "Drive", "Success"); },
              0x8000000A, "No ini file entry was found", "no settings file");
eq(reg("query HKLM\\" + KEY + " /v ServerPath"), 0, "the server path was written and stays");
writeText(programFiles + "\\qvfileio.inf", "[QVANE]\r\nMappingScript=qvtest-map.js\r\n");

eq(QV.MapNetworkDrive("\\\\server\\ok", KEY, "ServerPath", "Drive", "Success"), "Q:",
   "the script ran from its full path and handed back its drive");
eq(reg("query HKLM\\" + KEY), 1, "the hand-shake key is deleted on success");
eq(QV.MapNetworkDrive("\\\\server\\No", KEY, "ServerPath", "Drive", "Success"), "Q:",
   "a success value other than N and n is success");
var refusals = [["\\\\server\\N", 0x80004005, "Failed to map the network drive"],
                ["\\\\server\\n", 0x80004005, "Failed to map the network drive"],
                ["\\\\server\\nodrive", 0x80070002, "Failed to read the registy key data"],
                ["\\\\server\\silent", 0x80070002, "Failed to read the registy key data"]];
for (var i = 0; i < refusals.length; i++) {
    reg("delete HKLM\\" + KEY + " /f");
    expectFailure(function () { QV.MapNetworkDrive(refusals[i][0], KEY, "ServerPath", "Drive", "Success"); },
                  refusals[i][1], refusals[i][2], refusals[i][0]);
    eq(reg("query HKLM\\" + KEY + " /v ServerPath"), 0, refusals[i][0] + ": the key stays after a failure");
}
reg("delete HKLM\\" + KEY + " /f");
writeText(programFiles + "\\qvfileio.inf", "[QVANE]\r\nMappingScript=missing.js\r\n");
expectFailure(function () { QV.MapNetworkDrive("\\\\server\\ok", KEY, "ServerPath", "Drive", "Success"); },
              0x80070002, "Failed to read the registy key data", "a settings entry naming a missing script");
reg("delete HKLM\\" + KEY + " /f");
fso.DeleteFile(programFiles + "\\qvtest-map.js");
fso.DeleteFile(programFiles + "\\qvfileio.inf");
if (madeFolder) fso.DeleteFolder(programFiles);

// GetScriptPath: "ServerPath" of [Workstation] in wkstn.ini, upper-cased.
var ini = windows + "\\wkstn.ini";
var paths = [["\\\\server\\share\\scripts", "\\\\SERVER\\SHARE\\SCRIPTS"], ["c:", "C:\\qvane"], ["c:\\", "C:\\"],
             ["d:", "D:"], [new Array(301).join("s"), new Array(260).join("S")]];
for (var p = 0; p < paths.length; p++) {
    writeText(ini, "[Workstation]\r\nServerPath=" + paths[p][0] + "\r\n");
    eq(QV.GetScriptPath(), paths[p][1], "GetScriptPath of " + paths[p][0].substring(0, 20));
}
fso.DeleteFile(ini);
var none = QV.GetScriptPath();
eq(typeof none == "string" && none.length, 0, "no wkstn.ini: an empty string");

// GetWorkstationName: the host name, as the sockets layer gives it.
var name = QV.GetWorkstationName();
check(name.length > 0, "a host name: " + name);
eq(name.toUpperCase().substring(0, 15), shell.ExpandEnvironmentStrings("%COMPUTERNAME%").replace(/\0/g, ""),
   "the computer name is the host name's first 15 letters");

// StartOrmik: the helper named in full, in a folder whose name holds a
// space, started detached with /NOMSG and not waited for; the program
// planted where a search would look first is never started. A folder that
// cannot hold the helper starts nothing and leaves a start's record.
var ormik = WScript.Arguments(0) + "\\Ormik.exe";
var TOLVEX = "HKLM\\Software\\Quorvane\\Tolvex", PORTLINE = "HKLM\\Software\\Quorvane\\Portline";
var QUORVANE = "C:\\Program Files\\Quorvane", INSTALLED = QUORVANE + "\\Portline", INJECTED = "C:\\injected.txt";
var STARTED = INSTALLED + "\\Ormik-started.txt", PLANTED_STARTED = "C:\\Program-started.txt";
var READ = "Failed to read the helper's registry setting";
var madeQuorvane = !fso.FolderExists(QUORVANE);
if (madeQuorvane) fso.CreateFolder(QUORVANE);
removeTree(INSTALLED), removeTree(PLANTED_STARTED), removeTree(INJECTED);
fso.CreateFolder(INSTALLED);
fso.CopyFile(ormik, INSTALLED + "\\Ormik.exe");
fso.CopyFile(ormik, "C:\\Program.exe", true);
function setFolder(folder) { shell.RegWrite(PORTLINE + "\\InstallPath", folder, "REG_SZ"); }
function unread(value, what) {
    clearLog();
    expectFailure(function () { QV.StartOrmik(); }, 0x80070002, READ, what);
    expectLog([["80070002", ["OrmikStart: HKEY_LOCAL_MACHINE\\Software\\Quorvane\\" + value, "Error: " + READ]]], what);
}
reg("delete HKLM\\Software\\Quorvane /f");
unread("Tolvex\\OrmikStart", "no start switch");
// Not the number 1: a text, also one longer than a number, and 0.
var off = [["REG_SZ", "1"], ["REG_SZ", "yes"], ["REG_DWORD", "0"]];
for (var o = 0; o < off.length; o++) {
    reg("add " + TOLVEX + " /v OrmikStart /t " + off[o][0] + " /d " + off[o][1] + " /f");
    QV.StartOrmik();
}
check(!fso.FileExists(STARTED), "a switch that is not the number 1 starts nothing");
reg("add " + TOLVEX + " /v OrmikStart /t REG_DWORD /d 1 /f");
unread("Portline\\InstallPath", "no install folder");
setFolder(INSTALLED);
clearLog();
QV.StartOrmik();
check(waitFor(STARTED), "the helper started");
check(!fso.FileExists(INSTALLED + "\\Ormik-done.txt"), "the call returned while the helper still runs");
eq(fileText(STARTED), "\"" + INSTALLED + "\\Ormik.exe\" /NOMSG", "its command line: its full name quoted");
writeText(INSTALLED + "\\Ormik-release.txt", "");
check(waitFor(INSTALLED + "\\Ormik-done.txt"), "the helper ended by itself");
check(!fso.FileExists(PLANTED_STARTED), "the planted C:\\Program.exe was not started");
eq(logRecords().length, 0, "a start leaves no record");
fso.DeleteFile(STARTED);

// Folders that cannot hold the helper: the error that says why.
var folders = [[windows, 2, "a folder without the helper"],
               ["C:\\windows\\system32\\cmd.exe /c copy C:\\windows\\win.ini " + INJECTED + " & rem", 3, "a command"],
               ["\"" + INSTALLED + "\"", 123, "a folder in quotes"],
               ["Program Files\\Quorvane\\Portline", 161, "a relative folder"],
               ["C:Program Files\\Quorvane\\Portline", 161, "a folder relative to the drive's current one"],
               [INSTALLED + "\\..\\..\\..\\windows", 161, "a folder that climbs out"],
               [INSTALLED + "\\Ormik.exe", 267, "the helper itself"],
               ["C:\\" + new Array(301).join("f"), 206, "303 characters"]];
for (var i = 0; i < folders.length; i++) {
    setFolder(folders[i][0]);
    clearLog();
    QV.StartOrmik();
    expectLog([["0", ["OrmikStart: GetLastError returned " + folders[i][1], "Error: CreateProcess:Ormik"]]], folders[i][2]);
}
check(!fso.FileExists(STARTED) && !fso.FileExists(PLANTED_STARTED) && !fso.FileExists(INJECTED),
      "none of them started a program");
reg("delete HKLM\\Software\\Quorvane /f");
removeTree(INSTALLED), removeTree("C:\\Program.exe");
if (madeQuorvane) removeTree(QUORVANE);
done();
