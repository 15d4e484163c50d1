// Shows the folder dialog once and prints what it gave, between brackets.
// Run by tests/dialog.sh, which answers the dialog.
var QV = new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
var chosen = QV.BrowseAllDrives("Pick a folder");
WScript.Echo("chosen: [" + chosen + "] " + typeof chosen);
