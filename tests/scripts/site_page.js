// One page's use of the object, run by tests/sitehost.exe for each URL (or
// by cscript, which has no page): prints "not created", "works", or
// "refused HRESULT description".
function say(text) {
    if (typeof host != "undefined") host.Echo(text); else WScript.Echo(text);
}
var qv = null;
try {
    qv = new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
} catch (e) {
    say("not created");
}
if (qv) {
    try {
        say(qv.IsValidFileOrDirectoryName("a.txt", 0) ? "works" : "a wrong answer");
    } catch (e) {
        say("refused " + (e.number >>> 0).toString(16).toUpperCase() + " " + e.description);
    }
}
