#!/bin/sh
# Builds the Windows Installer package for administrators: one x64 package
# that puts the 64-bit library into the 64-bit Program Files and the 32-bit
# one into the 32-bit Program Files, with README.txt, the examples, the
# mapping script and the Group Policy templates, and writes the COM
# registration of each library as registry data of the package. That data
# is read back from a scratch Wine prefix in which each library was
# registered, so it is whatever the libraries' own registration writes,
# never a second copy kept by hand: the 64-bit one by regsvr32, the 32-bit
# one by register32.exe (built in the 64-bit tree), which writes what the
# 32-bit regsvr32 would, from the library's own registration script and
# type library, without running 32-bit code. So the package is the same on
# every host, whether it runs 32-bit programs or not.
# Two builds of one commit give the same bytes: the files carry the
# sources' time (tools/source-date.sh), and so does the summary
# information; the product code and the package code are name-based UUIDs
# of the version and a digest of everything the package is made of.
#   make-msi.sh DLL32 DLL64 REGISTER32 OUT.msi     (the version comes from VERSION)
set -eu
dll32=$1 dll64=$2 register32=$3 out=$4
top=$(cd "$(dirname "$0")/.." && pwd)
upgrade_code=D0D34883-81C4-4810-B522-7BCCC1A4C20E  # fixed: every version replaces the one before
version=$(sh "$top/tools/version.sh" make-msi)
epoch=$(sh "$top/tools/source-date.sh" make-msi)
command -v wixl >/dev/null || { echo "make-msi: wixl is missing (make deps installs it)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")

work=$(mktemp -d)
export WINEARCH=win64 WINEPREFIX="$work/prefix" WINEDEBUG=-all
cleanup() { wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Registration in a scratch prefix: the 64-bit library first, then the
# 32-bit one; what each changed in the classes (both registry views) is
# its registration.
"$top/tools/wine-run.sh" --arch win64 --prefix "$WINEPREFIX" >/dev/null 2>&1
mkdir -p "$work/prefix/drive_c/qvscratch/x64" "$work/prefix/drive_c/qvscratch/x86"
cp "$dll64" "$work/prefix/drive_c/qvscratch/x64/QVFileIO3.dll"
cp "$dll32" "$work/prefix/drive_c/qvscratch/x86/QVFileIO3.dll"
cp "$register32" "$work/prefix/drive_c/qvscratch/register32.exe"
snapshot() { wineserver -w; cp "$WINEPREFIX/system.reg" "$work/$1.reg"; }
snapshot fresh
/usr/lib/wine/wine64 regsvr32 /s 'C:\qvscratch\x64\QVFileIO3.dll' </dev/null ||
    { echo "make-msi: regsvr32 of the 64-bit library failed" >&2; exit 1; }
snapshot with64
/usr/lib/wine/wine64 'C:\qvscratch\register32.exe' 'C:\qvscratch\x86\QVFileIO3.dll' </dev/null >/dev/null ||
    { echo "make-msi: the registration of the 32-bit library failed" >&2; exit 1; }
snapshot with32
perl "$top/tools/regdiff.pl" "$work/fresh.reg" "$work/with64.reg" 'Software\Classes\' >"$work/x64.txt"
perl "$top/tools/regdiff.pl" "$work/with64.reg" "$work/with32.reg" 'Software\Classes\' >"$work/x86.txt"

# The package's files, text with CR LF, where wixl looks for them.
crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" >"$2"; }
mkdir -p "$work/files/x64" "$work/files/x86" "$work/files/policy/en-US"
cp "$dll64" "$work/files/x64/QVFileIO3.dll"
cp "$dll32" "$work/files/x86/QVFileIO3.dll"
crlf "$top/dist/README.txt" "$work/files/README.txt"
sh "$top/tools/render-reference.sh" "$work/files/reference.html"
crlf "$top/workstation/mapping/qvmap.vbs" "$work/files/qvmap.vbs"
crlf "$top/workstation/mapping/qvfileio.inf" "$work/files/qvfileio.inf"
crlf "$top/examples/demo.vbs" "$work/files/demo.vbs"
crlf "$top/examples/hello.js" "$work/files/hello.js"
crlf "$top/dist/policy/QVFileIO.admx" "$work/files/policy/QVFileIO.admx"
crlf "$top/dist/policy/en-US/QVFileIO.adml" "$work/files/policy/en-US/QVFileIO.adml"
find "$work/files" -exec touch -d "@$epoch" {} +

# The registry data as WiX components: a key below Wow6432Node belongs to
# the 32-bit view (a 32-bit component, path without Wow6432Node), any other
# to the 64-bit view; where both libraries wrote the same value, the 32-bit
# one's write is the one that stands, as after both registrations. The
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
die "make-msi: the registration wrote nothing\n" unless $count;
EOF

# The codes: name-based (version 5) UUIDs in the upgrade code's namespace,
# of the version and the digest of every file, the registration and the
# package's source. A different build gets different codes; the same
# build, the same ones.
digest=$({ (cd "$work/files" && find . -type f | LC_ALL=C sort | xargs sha256sum)
           sha256sum <"$work/registry.wxs"; sha256sum <"$top/dist/qvfileio.wxs"; } | sha256sum | cut -c1-64)
code() { python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' "$upgrade_code" "$1"; }
product_code=$(code "product $version $digest")
package_code=$(code "package $version $digest")

cd "$work/files"  # wixl takes sources relative to where it runs
# The cabinet keeps the files' times as local time: the same for every builder in UTC.
TZ=UTC wixl -a x64 -o "$work/package.msi" -D Version="$version" -D UpgradeCode="$upgrade_code" \
    -D ProductCode="$product_code" \
    -D guid_registry_x64_view64=480AC7E3-61A5-400A-BC07-31CC12798FF7 \
    -D guid_registry_x64_view32=9CE798DE-FF2F-43D8-AABA-1575323F35A3 \
    -D guid_registry_x86_view32=EE60C890-4D30-40E6-BA66-6320A1D3E2C4 \
    -D guid_registry_x86_view64=0F32604F-834B-4D94-B63F-0EC53C186FEC \
    "$top/dist/qvfileio.wxs" "$work/registry.wxs" 2>"$work/wixl.err" || { cat "$work/wixl.err" >&2; exit 1; }
python3 "$top/tools/pin-msi.py" "$work/package.msi" "$package_code" "$epoch"
cp "$work/package.msi" "$out.part" && mv "$out.part" "$out"
echo "built $out ($(wc -l <"$work/x64.txt") registry entries from the 64-bit registration, $(wc -l <"$work/x86.txt") from the 32-bit one)"
