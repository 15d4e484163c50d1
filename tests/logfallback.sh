#!/bin/sh
# A user who may not write in the Windows directory finds the log in its
# local application data folder. Runs as root after user-fixture.sh setup;
# the directory's write permission is given back afterwards.
#   logfallback.sh USER_DIR
set -eu
dir=$1 script=$1/files/logfallback.js
windows=$dir/prefix/drive_c/windows fallback=$dir/prefix/drive_c/users/qvfileio/AppData/Local/QVFileIO
rm -rf "$windows/QVFileIOLog.txt" "$fallback"
chmod u-w "$windows"
trap 'chmod u+w "$windows"; rm -f "$script"' EXIT
printf '%s\n' 'try { new ActiveXObject("QVFileIOSvr.QVFileIO3.1").CreateFile("Z:\\nonexistent-qv\\a.txt", 1, 0); } catch (e) {}' >"$script"
runuser -u qvfileio -- env -u XDG_RUNTIME_DIR HOME="$dir/home" USER=qvfileio WINEARCH="${WINEARCH:-win32}" "$dir/files/wine-run.sh" \
    --prefix "$dir/prefix" cscript //nologo "Z:$(echo "$script" | tr / '\\')"
[ ! -e "$windows/QVFileIOLog.txt" ] || { echo "FAIL: a log in the Windows directory"; exit 1; }
grep "Error: The path was not found" "$fallback/QVFileIOLog.txt"
