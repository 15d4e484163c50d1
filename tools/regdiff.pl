#!/usr/bin/perl
# What a program wrote into a Wine prefix's machine registry: compares the
# prefix's system.reg before and after, and prints one line per value that
# is new or changed, and one per new key that holds neither values nor new
# sub-keys:
#   KEY<TAB>NAME<TAB>TYPE<TAB>DATA     (NAME empty: the key's default value;
#                                       TYPE string, expandable or integer)
#   KEY                                (an empty key)
# A value or key that went away is printed with "-" before it. KEY is the
# key's path below HKEY_LOCAL_MACHINE as the file keeps it, Wow6432Node and
# all; time stamps are not compared. Lines are sorted; a tab or a line end
# in a name or a text is refused.
#   regdiff.pl BEFORE.reg AFTER.reg [KEY-PREFIX]   (only keys below the prefix)
use strict;
use warnings;

sub unescape {
    my ($text) = @_;
    $text =~ s/\\(x[0-9a-fA-F]{1,4}|.)/
        my $e = $1;
        $e =~ m!^x(.+)! ? chr(hex $1) : $e eq 'n' ? "\n" : $e eq 'r' ? "\r" : $e eq 't' ? "\t" : $e eq '0' ? "\0" : $e/ge;
    return $text;
}

# Value text as the file keeps it: "text", str(2):"text", dword:hex, or
# anything else (kept raw, marked with its Wine type).
sub decode {
    my ($raw) = @_;
    return ('string', unescape($1)) if $raw =~ /^"(.*)"$/s;
    return ('expandable', unescape($1)) if $raw =~ /^str\(2\):"(.*)"$/s;
    return ('integer', hex $1) if $raw =~ /^dword:([0-9a-fA-F]{8})$/;
    return ('raw', $raw);
}

sub load {
    my ($file) = @_;
    my (%keys, $key, $pending);
    open my $in, '<:encoding(UTF-8)', $file or die "regdiff: cannot read $file: $!\n";
    while (my $line = <$in>) {
        $line =~ s/\r?\n$//;
        if (defined $pending) {  # a value continued on this line
            $line =~ s/^\s+//;
            $line = $pending . $line;
            undef $pending;
        }
        if ($line =~ /\\$/ && $line !~ /^\[/) { $pending = substr($line, 0, -1); next; }
        if ($line =~ /^\[(.*)\](?:\s+\d+)?$/) {
            $key = unescape($1);
            # Wine leaves out a key that holds only sub-keys: it is there all the same.
            my @parts = split /\\/, $key;
            $keys{join "\\", @parts[0 .. $_]} //= {} for 0 .. $#parts;
        } elsif (defined $key && $line =~ /^(@|"((?:[^"\\]|\\.)*)")=(.*)$/) {
            my $name = $1 eq '@' ? '' : unescape($2);
            $keys{$key}{$name} = $3;
        }
    }
    return \%keys;
}

my ($before_file, $after_file, $prefix) = @ARGV;
die "usage: regdiff.pl BEFORE.reg AFTER.reg [KEY-PREFIX]\n" unless defined $after_file;
my $before = load($before_file);
my $after = load($after_file);
my $under = sub { !defined $prefix || lc(substr($_[0], 0, length $prefix)) eq lc $prefix };

my @lines;
my $line = sub {
    my ($sign, $key, $name, $raw) = @_;
    my ($type, $data) = decode($raw);
    die "regdiff: a tab or line end in $key\\$name\n" if "$key$name$data" =~ /[\t\n]/;
    push @lines, "$sign$key\t$name\t$type\t$data";
};
my %new_key = map { $_ => 1 } grep { !exists $before->{$_} && $under->($_) } keys %$after;
for my $key (grep { $under->($_) } keys %$after) {
    my ($old, $new) = ($before->{$key} // {}, $after->{$key});
    for my $name (keys %$new) {
        $line->('', $key, $name, $new->{$name}) if !exists $old->{$name} || $old->{$name} ne $new->{$name};
    }
    for my $name (grep { !exists $new->{$_} } keys %$old) { $line->('-', $key, $name, $old->{$name}); }
    next unless $new_key{$key} && !%$new;
    my $below = lc("$key\\");
    push @lines, $key unless grep { lc(substr($_, 0, length $below)) eq $below } keys %new_key;
}
for my $key (grep { !exists $after->{$_} && $under->($_) } keys %$before) { push @lines, "-$key"; }
binmode STDOUT, ':encoding(UTF-8)';
print "$_\n" for sort { lc $a cmp lc $b } @lines;
