// Helpers joined to the front of every JScript test (Wine's script host
// runs no .wsf jobs). A test calls check/eq/expectFailure and ends with done().
var fso = new ActiveXObject("Scripting.FileSystemObject");
var PROGID = "QVFileIOSvr.QVFileIO3.1";
var QV = new ActiveXObject(PROGID);
var LOG_PATH = fso.GetSpecialFolder(0).Path + "\\QVFileIOLog.txt";
var checks = 0, failures = 0;

function hex(n) { return (n >>> 0).toString(16).toUpperCase(); }

function check(condition, what) {
    checks++;
    if (!condition) { failures++; WScript.Echo("FAIL: " + what); }
}

function show(v) { return typeof v == "string" ? "\"" + v.replace(/\r/g, "\\r").replace(/\n/g, "\\n") + "\"" : String(v); }

function eq(actual, expected, what) {
    check(actual === expected, what + ": expected " + show(expected) + ", got " + show(actual));
}

// Runs fn, which must throw our error with this HRESULT and description.
function expectFailure(fn, hr, description, what) {
    try {
        fn();
        check(false, what + ": no error was raised");
    } catch (e) {
        eq(hex(e.number), hex(hr), what + " (HRESULT)");
        eq(e.description, description, what + " (description)");
    }
}

// JScript's errors carry no source: VBScript's Err does. Runs one VBScript
// statement on the object (named QV there) and returns the error it raised
// as "HRESULT|description|source".
function vbsError(statement) {
    var sc = new ActiveXObject("MSScriptControl.ScriptControl");
    sc.Language = "VBScript";
    sc.AddObject("QV", QV, false);
    sc.ExecuteStatement("On Error Resume Next\n" + statement +
                        "\nr = Hex(Err.Number) & \"|\" & Err.Description & \"|\" & Err.Source");
    return sc.Eval("r");
}

// Evaluates a VBScript expression on the object (named QV there).
function vbsEval(expression) {
    var sc = new ActiveXObject("MSScriptControl.ScriptControl");
    sc.Language = "VBScript";
    sc.AddObject("QV", QV, false);
    return sc.Eval(expression);
}

function clearLog() { if (fso.FileExists(LOG_PATH)) fso.DeleteFile(LOG_PATH, true); }

function logText() {
    if (!fso.FileExists(LOG_PATH)) return "";
    var f = fso.GetFile(LOG_PATH);
    if (f.Size == 0) return "";
    var s = fso.OpenTextFile(LOG_PATH, 1);
    var t = s.ReadAll();
    s.Close();
    return t;
}

// The log's records: {hresult, pieces[]}, pieces being the lines after Reason.
function logRecords() {
    var parts = logText().split("\r\nTime: (mm/dd/yy)   ");
    var records = [];
    for (var i = 1; i < parts.length; i++) {
        var lines = parts[i].split("\r\n");
        var rec = { hresult: lines[3].replace("HRESULT: ", ""), file: lines[1].replace("File:    ", ""), pieces: [] };
        var rest = parts[i].substring(parts[i].indexOf("\r\r\n") + 3);
        if (rest.length) rec.pieces = rest.replace(/\r\n$/, "").split("\r\n");
        records.push(rec);
    }
    return records;
}

// Checks the log holds exactly these records: [hresult, [piece lines]].
function expectLog(expected, what) {
    var got = logRecords();
    eq(got.length, expected.length, what + ": number of log records");
    for (var i = 0; i < expected.length && i < got.length; i++) {
        eq(got[i].hresult, expected[i][0], what + ": record " + i + " HRESULT");
        eq(got[i].pieces.join(" | "), expected[i][1].join(" | "), what + ": record " + i + " pieces");
    }
}

// A fresh directory below the temporary folder, named after the test.
function scratch(name) {
    var path = fso.GetSpecialFolder(2).Path + "\\qvscript-" + name;
    if (fso.FolderExists(path)) removeTree(path);
    fso.CreateFolder(path);
    return path;
}

function removeTree(path) {
    if (fso.FolderExists(path)) fso.DeleteFolder(path, true);
    else if (fso.FileExists(path)) fso.DeleteFile(path, true);
}

// A file's bytes as a string of char codes 0-255 (read through ADODB-free
// FSO: the ANSI code page of the prefix maps bytes one to one).
function fileText(path) {
    if (fso.GetFile(path).Size == 0) return "";
    var s = fso.OpenTextFile(path, 1);
    var t = s.ReadAll();
    s.Close();
    return t;
}

function writeText(path, text) {
    var s = fso.CreateTextFile(path, true);
    s.Write(text);
    s.Close();
}

function done() {
    WScript.Echo(checks + " checks, " + failures + " failed");
    WScript.Quit(failures ? 1 : 0);
}
