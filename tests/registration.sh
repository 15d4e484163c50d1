#!/bin/sh
# Registration of QVFileIO3.DLL in the build's prefix: the keys and values
# written, what unregistration removes, registering twice, a quote in the
# library's directory, creation by ProgID. The PE facts are pe-facts.sh's.
#   registration.sh PREFIX DLL [win32|win64] [DLLSERVER]
# (DLL: the Linux path of the built library; DLLSERVER: the tests' program
# that calls DllRegisterServer and prints its HRESULT.)
# The library is always left registered from its own path: other tests
# need it.
set -u
prefix=$1 dll=$2 arch=${3:-win32} dllserver=${4:-}
tools=$(cd "$(dirname "$0")/../tools" && pwd)
export WINEARCH=$arch WINEPREFIX="$prefix" WINEDEBUG=-all

CLSID='{48F5103C-D255-4635-ADFF-619925E12071}'
LIBID='{C714D96A-8448-4E42-9F61-7A4282F3C042}'
IID='{CCEDE9CE-F31B-4900-BFF9-60F5854ED917}'
PROGID='QVFileIOSvr.QVFileIO3.1'
PROGID_KEY="HKEY_CLASSES_ROOT\\$PROGID"
CLASS_KEY="HKEY_CLASSES_ROOT\\CLSID\\$CLSID"
TYPELIB_KEY="HKEY_CLASSES_ROOT\\TypeLib\\$LIBID"

# Every program run here prints something (regsvr32 without /s, reg, the
# creation script's first line), so a run that Wine ended before it printed
# anything is run once more (wine-run.sh --says).
run() { "$tools/wine-run.sh" --prefix "$prefix" --says "$@"; }
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
dll_win=$(winpath "$dll")

work=$(mktemp -d)
restore() {
    run regsvr32 "$dll_win" >/dev/null 2>&1
    rm -rf "$work"
}
trap restore EXIT
trap 'exit 1' INT TERM HUP

failures=0
fail() { printf 'FAIL: %s\n' "$*"; failures=$((failures + 1)); }
expect_eq() {  # what expected actual
    [ "$2" = "$3" ] || fail "$1: expected [$2], got [$3]"
}

# A key and everything below it as reg prints it, without CRs and blank lines.
tree() { run reg query "$1" /s 2>/dev/null | tr -d '\r' | grep -v '^$'; }
exists() { run reg query "$1" >/dev/null 2>&1; }
# The unnamed value of a key, or a named one.
value() {
    if [ $# -eq 1 ]; then
        run reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^    (Default)    REG_SZ    //p'
    else
        run reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^    $2    REG_SZ    //p"
    fi
}
# regsvr32 with its messages kept: a failure is shown with regsvr32's exit
# status and what it printed (its message names the step that failed and
# the HRESULT), then with the HRESULT that DllRegisterServer (or
# DllUnregisterServer) answers when called right away.
regsvr() {  # what, then regsvr32's arguments
    what=$1
    shift
    status=0
    out=$(env WINEDEBUG=fixme-all "$tools/wine-run.sh" --prefix "$prefix" --says regsvr32 "$@" 2>&1 </dev/null) || status=$?
    [ "$status" -eq 0 ] && return 0
    fail "$what: regsvr32 $* exited with status $status"
    printf '%s\n' "$out" | sed 's/^/    regsvr32: /'
    if [ -n "$dllserver" ]; then
        for library; do :; done
        flag=
        [ "$1" = /u ] && flag=/u
        printf '    then: %s\n' "$(run "$(winpath "$dllserver")" $flag "$library" 2>&1 </dev/null)"
    fi
    # Whether the run's persistent wineserver was still there.
    ps -eo pid=,etimes=,args= | grep '[w]ineserver' | sed 's/^/    wineserver: /'
}
register() { regsvr "regsvr32 $*" "$@"; }

progid_tree() {
    printf '%s\n' \
        "$PROGID_KEY" \
        '    (Default)    REG_SZ    QVFileIO Class 3' \
        "$PROGID_KEY\\CLSID" \
        "    (Default)    REG_SZ    $CLSID" \
        "$PROGID_KEY\\CurVer" \
        "    (Default)    REG_SZ    $PROGID"
}
class_tree() {  # the library's Windows path
    printf '%s\n' \
        "$CLASS_KEY" \
        '    (Default)    REG_SZ    QVFileIO Class 3' \
        "$CLASS_KEY\\InprocServer32" \
        "    (Default)    REG_SZ    $1" \
        '    ThreadingModel    REG_SZ    Apartment' \
        "$CLASS_KEY\\ProgID" \
        "    (Default)    REG_SZ    $PROGID" \
        "$CLASS_KEY\\Programmable" \
        "$CLASS_KEY\\TypeLib" \
        "    (Default)    REG_SZ    $LIBID" \
        "$CLASS_KEY\\VersionIndependentProgID" \
        "    (Default)    REG_SZ    $PROGID"
}
check_registered() {  # what, the library's Windows path
    expect_eq "$1: ProgID key" "$(progid_tree)" "$(tree "$PROGID_KEY")"
    expect_eq "$1: class key" "$(class_tree "$2")" "$(tree "$CLASS_KEY")"
    expect_eq "$1: type library" "QVFileIOSvr 3.0 Type Library" "$(value "$TYPELIB_KEY\\1.0")"
    expect_eq "$1: type library file" "$2" "$(value "$TYPELIB_KEY\\1.0\\409\\$arch")"
    expect_eq "$1: help directory" "${2%\\*}\\" "$(value "$TYPELIB_KEY\\1.0\\HELPDIR")"
    expect_eq "$1: interface's type library" "$LIBID" "$(value "HKEY_CLASSES_ROOT\\Interface\\$IID\\TypeLib")"
}

# Creating the object by its ProgID from a script: 0 created and answering,
# 3 not created.
create_by_progid() {
    cat >"$work/create.js" <<'EOF'
WScript.Echo("started");
var o;
try { o = new ActiveXObject("QVFileIOSvr.QVFileIO3.1"); } catch (e) { WScript.Quit(3); }
WScript.Quit(o.IsValidFileOrDirectoryName("a.txt", 0) == 1 && !o.IsValidFileOrDirectoryName("a*", 0) ? 0 : 4);
EOF
    run cscript //nologo "$(winpath "$work/create.js")" >/dev/null 2>&1
    echo $?
}

# --- Registration -------------------------------------------------------
register "$dll_win"
check_registered "registered" "$dll_win"

# --- Unregistration -----------------------------------------------------
regsvr "unregistration" /u "$dll_win"
exists "$PROGID_KEY" && fail "the ProgID key remains after unregistration"
exists "$CLASS_KEY" && fail "the class key remains after unregistration"
exists "HKEY_CLASSES_ROOT\\CLSID" || fail "CLSID itself must stay"
exists "$TYPELIB_KEY\\1.0" && fail "the type library stays registered"
exists "HKEY_CLASSES_ROOT\\Interface\\$IID" && fail "the interface stays registered"
expect_eq "creation by ProgID when unregistered" 3 "$(create_by_progid)"
regsvr "a second unregistration" /u "$dll_win"

# --- Registering twice: one set; ForceRemove clears the class key -------
register "$dll_win"
run reg add "$CLASS_KEY\\Stray" /f >/dev/null 2>&1 || fail "reg add"
run reg add "$CLASS_KEY\\Programmable" /v Stray /d x /f >/dev/null 2>&1 || fail "reg add"
register "$dll_win"
check_registered "registered twice" "$dll_win"

# --- A quote in the library's directory reaches the registry once --------
mkdir -p "$work/it's here"
cp "$dll" "$work/it's here/QVFileIO3.dll"
quoted_win=$(winpath "$work/it's here/QVFileIO3.dll")
register "$quoted_win"
check_registered "from a directory with a quote" "$quoted_win"

# --- Back to the build's library; a script creates the object -----------
register "$dll_win"
check_registered "registered again" "$dll_win"
expect_eq "creation by ProgID" 0 "$(create_by_progid)"

if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "registration: all checks passed"
