#!/usr/bin/perl
# Repairs the type library widl writes when a dispinterface precedes a dual
# interface in the library. widl imports IDispatch from stdole2.tlb twice
# then: once for the dispinterface, and again for the dual interface's base,
# where it refuses the GUID as a duplicate and stores -1 in its place. The
# dual interface's base then resolves to no type at all (cross-apartment
# calls through the type library marshaler fail), and the -1 makes widl write
# the import's number over the last byte of the library identifier.
#
# This puts the library identifier of the IDL file back and points the broken
# import at IDispatch. Anything else amiss fails: the files do not belong
# together, or widl broke something this does not know.
# Usage: widl-typelib-fix.pl LIBRARY.idl LIBRARY.tlb
use strict;
use warnings;

@ARGV == 2 or die "usage: $0 LIBRARY.idl LIBRARY.tlb\n";
my ($idl_path, $tlb_path) = @ARGV;

my $IMPORT_BY_GUID = 0x10000;
my $IDISPATCH = pack('VvvH4H12', 0x00020400, 0, 0, 'c000', '000000000046');

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

open(my $tlb, '<', $tlb_path) or die "$tlb_path: $!\n";
binmode($tlb);
local $/;
my $data = <$tlb>;
close($tlb);

# Type library header: magic, version, position of the library GUID in the
# GUID table, ..., flags at 20, type count at 32; 0x54 bytes, then an optional
# help-string DLL offset, the type offsets and the segment directory of
# 16-byte entries (offset, length, two reserved): import information second,
# the GUID table sixth.
substr($data, 0, 4) eq 'MSFT' or die "$tlb_path: not a type library\n";
my ($guid_pos, $var_flags, $type_count) =
    (unpack('V', substr($data, 8, 4)), unpack('V', substr($data, 20, 4)), unpack('V', substr($data, 32, 4)));
my $directory = 0x54 + (($var_flags & 0x100) ? 4 : 0) + 4 * $type_count;
my ($imports, $imports_length) = unpack('l<l<', substr($data, $directory + 1 * 16, 8));
my ($guids, $guids_length) = unpack('l<l<', substr($data, $directory + 5 * 16, 8));
$guids >= 0 && $guid_pos + 16 <= $guids_length or die "$tlb_path: library GUID out of bounds\n";

# The library identifier: only its last byte may differ.
my $at = $guids + $guid_pos;
my $stored = substr($data, $at, 16);
if ($stored ne $libid) {
    substr($stored, 0, 15) eq substr($libid, 0, 15)
        or die sprintf("%s: library %s does not belong to %s (%s)\n",
                       $tlb_path, format_guid($stored), $idl_path, format_guid($libid));
    substr($data, $at + 15, 1) = substr($libid, 15, 1);
}

# Imports by GUID whose GUID is missing: widl's second IDispatch import.
my $idispatch_at;
for (my $entry = 0; $entry + 24 <= $guids_length; $entry += 24) {
    if (substr($data, $guids + $entry, 16) eq $IDISPATCH) {
        $idispatch_at = $entry;
        last;
    }
}
if ($imports >= 0) {
    for (my $entry = 0; $entry + 12 <= $imports_length; $entry += 12) {
        my ($flags, $file, $guid) = unpack('Vl<l<', substr($data, $imports + $entry, 12));
        next unless ($flags & $IMPORT_BY_GUID) && ($guid < 0 || $guid + 16 > $guids_length);
        defined $idispatch_at or die "$tlb_path: an import has no GUID and IDispatch is not imported\n";
        substr($data, $imports + $entry + 8, 4) = pack('l<', $idispatch_at);
    }
}

open($tlb, '>', $tlb_path) or die "$tlb_path: $!\n";
binmode($tlb);
print $tlb $data or die "$tlb_path: $!\n";
close($tlb) or die "$tlb_path: $!\n";
