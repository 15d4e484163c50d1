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
// A failure that carries no description (StartOrmik hands none over).
function failsWith(fn, hr, what) {
    try {
        fn();
        check(false, what + ": no error was raised");
    } catch (e) {
        eq(hex(e.number), hex(hr), what);
    }
}
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

// StartOrmik: started detached with /NOMSG, and not waited for.
var ormik = WScript.Arguments(0);
var TOLVEX = "HKLM\\Software\\Quorvane\\Tolvex", PORTLINE = "HKLM\\Software\\Quorvane\\Portline";
var files = ["ormik-started.txt", "ormik-release.txt", "ormik-done.txt"];
for (var f = 0; f < files.length; f++) if (fso.FileExists(ormik + "\\" + files[f])) fso.DeleteFile(ormik + "\\" + files[f]);
reg("delete HKLM\\Software\\Quorvane /f");
failsWith(function () { QV.StartOrmik(); }, 0x80070002, "no start switch");
reg("add " + TOLVEX + " /v OrmikStart /t REG_SZ /d 1 /f");
QV.StartOrmik();
reg("add " + TOLVEX + " /v OrmikStart /t REG_DWORD /d 0 /f");
QV.StartOrmik();
check(!fso.FileExists(ormik + "\\ormik-started.txt"), "a switch that is not the number 1 starts nothing");
reg("add " + TOLVEX + " /v OrmikStart /t REG_DWORD /d 1 /f");
failsWith(function () { QV.StartOrmik(); }, 0x80070002, "no install folder");
reg("add " + PORTLINE + " /v InstallPath /t REG_SZ /d \"" + ormik + "\" /f");
clearLog();
QV.StartOrmik();
check(waitFor(ormik + "\\ormik-started.txt"), "the helper started");
check(!fso.FileExists(ormik + "\\ormik-done.txt"), "the call returned while the helper still runs");
var commandLine = fileText(ormik + "\\ormik-started.txt");
eq(commandLine, ormik + "\\Ormik.exe /NOMSG", "its command line");
writeText(ormik + "\\ormik-release.txt", "");
check(waitFor(ormik + "\\ormik-done.txt"), "the helper ended by itself");
eq(logRecords().length, 0, "a start leaves no record");
reg("add " + PORTLINE + " /v InstallPath /t REG_SZ /d \"" + windows + "\" /f");
QV.StartOrmik();
expectLog([["0", ["OrmikStart: GetLastError returned 2", "Error: CreateProcess:Ormik"]]],
          "a folder without the helper: S_OK and a record");
reg("delete HKLM\\Software\\Quorvane /f");
for (var f = 0; f < files.length; f++) if (fso.FileExists(ormik + "\\" + files[f])) fso.DeleteFile(ormik + "\\" + files[f]);
done();
