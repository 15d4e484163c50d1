// DeleteDirectory never leaves the tree it was given: a linked directory
// inside it is not descended into. Run by tests/links.sh, which builds the
// tree with a Unix symbolic link (Wine shows it as a reparse point) and
// passes its folder.
var root = WScript.Arguments(0);
var tree = root + "\\tree", outside = root + "\\outside";
eq(fso.FolderExists(tree + "\\link"), true, "the link is seen as a directory");
clearLog();
expectFailure(function () { QV.DeleteDirectory(tree, true, true); }, 0x80070091, "Failed to delete the directory",
              "the link stays, so the tree is not empty");
check(fso.FileExists(outside + "\\keep.txt") && fso.FileExists(outside + "\\inner\\deep.txt"),
      "the linked folder and its files are untouched");
check(!fso.FileExists(tree + "\\a.txt") && !fso.FolderExists(tree + "\\sub"), "the rest of the tree is deleted");
var records = logRecords();
eq(records.length, 2, "the link's failure, then the tree's");
eq(records[0].pieces.join("|"), "szDirPath: " + tree + "\\link|Error: Failed to delete the directory",
   "the link's own record");
done();
