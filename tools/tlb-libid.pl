#!/usr/bin/perl
# Puts the library identifier of an IDL file back into the type library that
# widl wrote from it. widl changes the identifier's last byte when a
# dispinterface precedes a dual interface in the library; anything beyond that
# one byte differing means the files do not belong together and fails.
# Usage: tlb-libid.pl LIBRARY.idl LIBRARY.tlb
use strict;
use warnings;

@ARGV == 2 or die "usage: $0 LIBRARY.idl LIBRARY.tlb\n";
my ($idl_path, $tlb_path) = @ARGV;

sub idl_libid {
    my ($path) = @_;
    open(my $in, '<', $path) or die "$path: $!\n";
    local $/;
    my $text = <$in>;
    close($in);
    $text =~ s{/\*.*?\*/}{}gs;
    $text =~ s{//[^\n]*}{}g;
    # The attribute list that stands right before "library NAME".
    $text =~ /\[([^\[\]]*)\]\s*library\s+\w+/s or die "$path: no library block\n";
    my $attributes = $1;
    $attributes =~ /uuid\s*\(\s*([0-9A-Fa-f]{8})-([0-9A-Fa-f]{4})-([0-9A-Fa-f]{4})-([0-9A-Fa-f]{4})-([0-9A-Fa-f]{12})\s*\)/
        or die "$path: the library has no uuid\n";
    # The GUID as stored: first three fields little-endian, the rest as written.
    return pack('VvvH4H12', hex($1), hex($2), hex($3), $4, $5);
}

sub format_guid {
    my ($bytes) = @_;
    my ($a, $b, $c, $d, $e) = unpack('VvvH4H12', $bytes);
    return uc(sprintf('{%08x-%04x-%04x-%s-%s}', $a, $b, $c, $d, $e));
}

my $libid = idl_libid($idl_path);

open(my $tlb, '+<', $tlb_path) or die "$tlb_path: $!\n";
binmode($tlb);
my $size = -s $tlb;
read($tlb, my $data, $size) == $size or die "$tlb_path: short read\n";

# Type library header: magic, version, position of the library GUID in the
# GUID table, ..., flags at 20, type count at 32; 0x54 bytes, then an optional
# help-string DLL offset, the type offsets and the segment directory, whose
# sixth entry is the GUID table.
substr($data, 0, 4) eq 'MSFT' or die "$tlb_path: not a type library\n";
my ($guid_pos) = unpack('V', substr($data, 8, 4));
my ($var_flags) = unpack('V', substr($data, 20, 4));
my ($type_count) = unpack('V', substr($data, 32, 4));
my $directory = 0x54 + (($var_flags & 0x100) ? 4 : 0) + 4 * $type_count;
my ($guid_table) = unpack('V', substr($data, $directory + 5 * 16, 4));
my $at = $guid_table + $guid_pos;
$at + 16 <= $size or die "$tlb_path: library GUID out of bounds\n";
my $stored = substr($data, $at, 16);

exit 0 if $stored eq $libid;
substr($stored, 0, 15) eq substr($libid, 0, 15)
    or die sprintf("%s: library %s does not belong to %s (%s)\n",
                   $tlb_path, format_guid($stored), $idl_path, format_guid($libid));
seek($tlb, $at + 15, 0) or die "$tlb_path: $!\n";
print $tlb substr($libid, 15, 1) or die "$tlb_path: $!\n";
close($tlb) or die "$tlb_path: $!\n";
