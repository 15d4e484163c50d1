// DeleteDirectory of the root of the drive T: in the spelling and with the
// flags that tests/roots.sh gives: refused before anything is touched. With
// a flag set the drive holds what roots.sh puts there; without one it is
// empty, and the drive itself must stay.
var spelling = WScript.Arguments(0), files = WScript.Arguments(1) == "1", dirs = WScript.Arguments(2) == "1";
var what = spelling + ", " + files + ", " + dirs;
// What is there ("-" for what is not), as a text to compare.
function present() {
    var entries = [fso.FolderExists("T:\\")];
    if (files || dirs) {
        entries.push(fso.FileExists("T:\\a.txt"), fso.FileExists("T:\\dir\\deeper\\b.txt"),
                     fso.FolderExists("T:\\dir\\deeper"), fso.FolderExists("T:\\empty"));
    }
    return entries.join();
}
var all = present();
check(!/false/.test(all), what + ": the drive as roots.sh made it (" + all + ")");
clearLog();
expectFailure(function () { QV.DeleteDirectory(spelling, files, dirs); }, 0x80070005, "Failed to delete the directory",
              what);
expectLog([["80070005", ["szDirPath: " + spelling, "Error: Failed to delete the directory"]]], what);
eq(present(), all, what + ": everything on the drive is still there");
done();
