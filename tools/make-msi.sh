#!/bin/sh
# Builds the Windows Installer package for administrators: one x64 package
# that puts the 64-bit library into the 64-bit Program Files and the 32-bit
# one into the 32-bit Program Files, with README.txt, the examples and the
# mapping script, and writes the COM registration of each library as
# registry data of the package. That data is read back from a scratch Wine
# prefix in which regsvr32 of each width registered its library, so it is
# whatever DllRegisterServer writes, never a second copy kept by hand.
#   make-msi.sh DLL32 DLL64 OUT.msi     (the version comes from VERSION)
set -eu
dll32=$1 dll64=$2 out=$3
top=$(cd "$(dirname "$0")/.." && pwd)
upgrade_code=D0D34883-81C4-4810-B522-7BCCC1A4C20E  # fixed: every version replaces the one before

# Windows Installer compares major.minor.build (at most 255.255.65535) and
# ignores a fourth field; the package carries all four, as the DLL's file
# version does.
version=$(tr -d ' \t\r\n' <"$top/VERSION")
refuse() {
    echo "make-msi: VERSION \"$version\" cannot be a Windows Installer product version: $1" >&2
    exit 1
}
case $version in
"" | *[!0-9.]* | .* | *. | *..*) refuse "it must be four numbers joined by dots, like 1.0.0.33" ;;
esac
fields=$(printf '%s' "$version" | tr . ' ')
set -- $fields
[ $# -eq 4 ] || refuse "it must be four numbers joined by dots, like 1.0.0.33"
for field; do [ ${#field} -le 5 ] || refuse "$field is too large"; done
[ "$1" -le 255 ] || refuse "the first number is at most 255"
[ "$2" -le 255 ] || refuse "the second number is at most 255"
[ "$3" -le 65535 ] || refuse "the third number is at most 65535"
[ "$4" -le 65535 ] || refuse "the fourth number is at most 65535"
command -v wixl >/dev/null || { echo "make-msi: wixl is missing (make deps installs it)" >&2; exit 1; }
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "make-msi: this host runs no 32-bit code, so the 32-bit library's registration cannot be read;" \
         "build the package where Wine's 32-bit side works" >&2
    exit 1
fi

work=$(mktemp -d)
export WINEARCH=win64 WINEPREFIX="$work/prefix" WINEDEBUG=-all
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Registration in a scratch prefix: the 64-bit library first, then the
# 32-bit one, each by the regsvr32 of its width; what each changed in the
# classes (both registry views) is its registration.
/usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1
mkdir -p "$work/prefix/drive_c/qvscratch/x64" "$work/prefix/drive_c/qvscratch/x86"
cp "$dll64" "$work/prefix/drive_c/qvscratch/x64/QVFileIO3.dll"
cp "$dll32" "$work/prefix/drive_c/qvscratch/x86/QVFileIO3.dll"
snapshot() { wineserver -w; cp "$WINEPREFIX/system.reg" "$work/$1.reg"; }
snapshot fresh
/usr/lib/wine/wine64 regsvr32 /s 'C:\qvscratch\x64\QVFileIO3.dll' </dev/null ||
    { echo "make-msi: regsvr32 of the 64-bit library failed" >&2; exit 1; }
snapshot with64
/usr/lib/wine/wine 'C:\windows\syswow64\regsvr32.exe' /s 'C:\qvscratch\x86\QVFileIO3.dll' </dev/null ||
    { echo "make-msi: regsvr32 of the 32-bit library failed" >&2; exit 1; }
snapshot with32
perl "$top/tools/regdiff.pl" "$work/fresh.reg" "$work/with64.reg" 'Software\Classes\' >"$work/x64.txt"
perl "$top/tools/regdiff.pl" "$work/with64.reg" "$work/with32.reg" 'Software\Classes\' >"$work/x86.txt"

# The package's files, text with CR LF, where wixl looks for them.
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" >"$2"; }
mkdir -p "$work/files/x64" "$work/files/x86"
cp "$dll64" "$work/files/x64/QVFileIO3.dll"
cp "$dll32" "$work/files/x86/QVFileIO3.dll"
crlf "$top/dist/README.txt" "$work/files/README.txt"
sh "$top/tools/render-reference.sh" "$work/files/reference.html"
crlf "$top/workstation/mapping/qvmap.vbs" "$work/files/qvmap.vbs"
crlf "$top/workstation/mapping/qvfileio.inf" "$work/files/qvfileio.inf"
crlf "$top/examples/demo.vbs" "$work/files/demo.vbs"
crlf "$top/examples/hello.js" "$work/files/hello.js"

# The registry data as WiX components: a key below Wow6432Node belongs to
# the 32-bit view (a 32-bit component, path without Wow6432Node), any other
# to the 64-bit view; where both libraries wrote the same value, the 32-bit
# one's write is the one that stands, as after the two regsvr32 runs. The
# scratch folders become the installed file and folder.
perl - "$work/x86.txt" "$work/x64.txt" >"$work/registry.wxs" <<'EOF'
use strict;
use warnings;
my %file = (x64 => 'dll64', x86 => 'dll32');
my %dir = (x64 => 'INSTALLDIR64', x86 => 'INSTALLDIR32');
my (%lines, %later);
for my $width (qw(x86 x64)) {
    open my $in, '<:encoding(UTF-8)', shift @ARGV or die;
    while (my $line = <$in>) {
        chomp $line;
        die "make-msi: registration removed something: $line\n" if $line =~ /^-/;
        my ($key, $name) = split /\t/, $line;
        next if $width eq 'x64' && $later{lc "$key\t" . ($name // '')};
        $later{lc "$key\t" . ($name // '')} = 1;
        push @{$lines{$width}}, $line;
    }
}
sub xml { my $t = shift; $t =~ s/&/&amp;/g; $t =~ s/</&lt;/g; $t =~ s/>/&gt;/g; $t =~ s/"/&quot;/g; $t }
sub formatted {  # literal text of a formatted field, with the scratch paths replaced
    my ($text, $width) = @_;
    $text =~ s/([\[\]])/[\\$1]/g;
    my $folder = "C:\\qvscratch\\$width\\";
    $text =~ s/\Q${folder}QVFileIO3.dll\E/[#$file{$width}]/gi;
    $text =~ s/\Q$folder\E/[$dir{$width}]/gi;
    die "make-msi: a scratch path is left in the registration: $text\n" if $text =~ /qvscratch/i;
    return $text;
}
binmode STDOUT, ':encoding(UTF-8)';
print qq(<?xml version="1.0" encoding="utf-8"?>\n<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>\n);
my $count = 0;
my @ids;
for my $width (qw(x64 x86)) {
    my %view;
    for my $line (@{$lines{$width}}) {
        my ($key) = split /\t/, $line;
        push @{$view{$key =~ s/^(Software\\Classes\\)Wow6432Node\\/$1/i ? 32 : 64}}, [$key, $line];
    }
    for my $bits (64, 32) {
        next unless $view{$bits};
        my $id = "registry_${width}_view$bits";
        my $win64 = $bits == 64 ? 'yes' : 'no';
        push @ids, $id;
        print qq(<DirectoryRef Id="$dir{$width}">\n<Component Id="$id" Guid="\$(var.guid_$id)" Win64="$win64">\n);
        my $keypath = ' KeyPath="yes"';
        for (@{$view{$bits}}) {
            my ($key, $line) = @$_;
            my (undef, $name, $type, $data) = split /\t/, $line, 4;
            my $k = xml(formatted($key, $width));
            if (!defined $name) {  # an empty key: made at install, removed at uninstall
                print qq(  <RegistryValue Root="HKLM" Key="$k" Name="*" Type="string" Value=""/>\n);
                next;
            }
            die "make-msi: a registry value of type $type cannot be written by the package: $line\n"
                unless $type =~ /^(string|expandable|integer)$/;
            die "make-msi: a value beginning with # would be read as a number: $line\n" if $data =~ /^#/;
            my $n = $name eq '' ? '' : ' Name="' . xml(formatted($name, $width)) . '"';
            my $v = xml(formatted($data, $width));
            print qq(  <RegistryValue Root="HKLM" Key="$k"$n Type="$type" Value="$v"$keypath/>\n);
            $keypath = '';
            $count++;
        }
        die "make-msi: $id holds no value to be its key path\n" if $keypath;
        print "</Component>\n</DirectoryRef>\n";
    }
}
print qq(<ComponentGroup Id="Registration">\n), (map { qq(  <ComponentRef Id="$_"/>\n) } @ids), "</ComponentGroup>\n</Fragment></Wix>\n";
die "make-msi: regsvr32 wrote nothing\n" unless $count;
EOF

mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
cd "$work/files"  # wixl takes sources relative to where it runs
rm -f "$out"
wixl -a x64 -o "$out" -D Version="$version" -D UpgradeCode="$upgrade_code" \
    -D guid_registry_x64_view64=480AC7E3-61A5-400A-BC07-31CC12798FF7 \
    -D guid_registry_x64_view32=9CE798DE-FF2F-43D8-AABA-1575323F35A3 \
    -D guid_registry_x86_view32=EE60C890-4D30-40E6-BA66-6320A1D3E2C4 \
    -D guid_registry_x86_view64=0F32604F-834B-4D94-B63F-0EC53C186FEC \
    "$top/dist/qvfileio.wxs" "$work/registry.wxs" 2>"$work/wixl.err" || { cat "$work/wixl.err" >&2; exit 1; }
echo "built $out ($(wc -l <"$work/x64.txt") registry entries from the 64-bit registration, $(wc -l <"$work/x86.txt") from the 32-bit one)"
