#!/bin/sh
# The log of a user who may not write in the Windows directory goes to
# "QVFileIOLog.txt" in a "QVFileIO" folder of the user's local application
# data folder, created on first use. Runs as root after user-fixture.sh
# setup: takes the write permission of the unprivileged user's Windows
# directory away for the test and gives it back.
#   logfallback.sh USER_DIR
set -eu
dir=$1
windows=$dir/prefix/drive_c/windows
fallback=$dir/prefix/drive_c/users/qvfileio/AppData/Local/QVFileIO
script=$dir/files/logfallback.js
rm -f "$windows/QVFileIOLog.txt"
rm -rf "$fallback"
chmod u-w "$windows"
trap 'chmod u+w "$windows"; rm -f "$script"' EXIT
cat >"$script" <<'JS'
var QV = new ActiveXObject("QVFileIOSvr.QVFileIO3.1");
try { QV.CreateFile("Z:\\nonexistent-qvfileio\\a.txt", 1, 0); } catch (e) { WScript.Echo(e.description); }
JS
chown qvfileio: "$script"
runuser -u qvfileio -- env -u XDG_RUNTIME_DIR HOME="$dir/home" USER=qvfileio "$dir/files/wine-run.sh" \
    --prefix "$dir/prefix" cscript //nologo "Z:$(echo "$script" | tr / '\\')"
status=0
if [ -e "$windows/QVFileIOLog.txt" ]; then echo "FAIL: a log in the Windows directory"; status=1; fi
if grep -q "Error: The path was not found" "$fallback/QVFileIOLog.txt"; then
    echo "the record is in the local application data folder"
else
    echo "FAIL: no record in $fallback/QVFileIOLog.txt"
    status=1
fi
exit $status
