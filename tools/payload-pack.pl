#!/usr/bin/perl
# Writes a setup stream (the container of named files the launcher reads
# behind its own image) and appends it to a copy of a linked program.
#
# Usage: payload-pack.pl --image IN.exe --output OUT.exe --manifest LIST
#                        [--format 1|2|3] [--ansi-codepage 1252]
#
# LIST is UTF-8 text, one entry per line, fields separated by tabs:
#   NAME  PATH  stored|zlib  none|blocks|whole
# PATH is taken relative to the folder of LIST. Empty lines and lines that
# start with # are skipped. Entries are written in the order listed.
#
# The program must end where its image ends (headers, sections, debug data
# kept behind the sections, optionally a certificate table): link it with
# -s -Wl,--disable-long-section-names so no symbol table follows.
use strict;
use warnings;
use Compress::Zlib qw(compress crc32);
use Encode qw(decode encode);
use File::Basename qw(dirname);
use File::Spec;
use Getopt::Long;

# The constant every scrambling key starts from (bytes in little-endian order).
my $SCRAMBLE_CONSTANT = 0x5A17C3E9;
my $BLOCK = 1024;

my ($image_path, $output_path, $manifest_path);
my $format = 3;
my $ansi_codepage = 1252;
GetOptions('image=s' => \$image_path, 'output=s' => \$output_path, 'manifest=s' => \$manifest_path,
           'format=i' => \$format, 'ansi-codepage=i' => \$ansi_codepage)
    && defined $image_path && defined $output_path && defined $manifest_path
    or die "usage: $0 --image IN --output OUT --manifest LIST [--format 1|2|3] [--ansi-codepage N]\n";
$format == 1 || $format == 2 || $format == 3 or die "$0: format $format is not 1, 2 or 3\n";
my $ansi = "cp$ansi_codepage";

sub slurp {
    my ($path) = @_;
    open(my $in, '<:raw', $path) or die "$path: $!\n";
    local $/;
    my $data = <$in>;
    close($in);
    return defined $data ? $data : '';
}

# Checks that the program ends where its image ends; returns its bytes.
sub read_image {
    my ($path) = @_;
    my $data = slurp($path);
    my $size = length($data);
    $size >= 64 && substr($data, 0, 2) eq 'MZ' or die "$path: not a program file\n";
    my $nt = unpack('V', substr($data, 60, 4));
    $nt + 24 <= $size && substr($data, $nt, 4) eq "PE\0\0" or die "$path: no PE headers\n";
    my ($sections, $optional_size) = unpack('v x12 v', substr($data, $nt + 6, 16));
    my $optional = $nt + 24;
    my $magic = unpack('v', substr($data, $optional, 2));
    my $plus = $magic == 0x20B;
    my $headers_size = unpack('V', substr($data, $optional + 60, 4));
    my $dir_count = unpack('V', substr($data, $optional + ($plus ? 108 : 92), 4));
    my $dirs = $optional + ($plus ? 112 : 96);
    my $directory = sub {
        my ($index) = @_;
        return (0, 0) if $index >= $dir_count || $dirs + 8 * $index + 8 > $optional + $optional_size;
        return unpack('VV', substr($data, $dirs + 8 * $index, 8));
    };

    my @table;
    my $end = $headers_size;
    for my $i (0 .. $sections - 1) {
        my $at = $optional + $optional_size + 40 * $i;
        my ($virtual_size, $address, $raw_size, $raw_pointer) = unpack('VVVV', substr($data, $at + 8, 16));
        push @table, [$address, $virtual_size > $raw_size ? $virtual_size : $raw_size, $raw_pointer];
        $end += $raw_size;
    }

    # Debug data the linker stored behind the sections belongs to the image.
    my ($debug_address, $debug_size) = $directory->(6);
    my $behind = 0;
    if ($debug_address) {
        for my $section (@table) {
            my ($address, $span, $raw_pointer) = @$section;
            next unless $debug_address >= $address && $debug_address < $address + $span;
            my $at = $debug_address - $address + $raw_pointer;
            for my $i (0 .. int($debug_size / 28) - 1) {
                my ($data_size, undef, $data_pointer) = unpack('VVV', substr($data, $at + 28 * $i + 16, 12));
                $behind += $data_size if $data_pointer + $data_size > $end;
            }
            last;
        }
    }
    my $expected = $end + $behind;
    my ($certificate_offset, $certificate_size) = $directory->(4);
    $expected += $certificate_size if $certificate_size && $certificate_offset == $expected;
    $size == $expected
        or die sprintf("%s: %d bytes follow the image (ends at %d, file has %d); link with -s\n",
                       $path, $size - $expected, $expected, $size);
    return $data;
}

sub scramble_key {
    my ($key_text) = @_;
    length($key_text) or die "$0: a scrambled entry needs a name\n";
    my @constant = unpack('C4', pack('V', $SCRAMBLE_CONSTANT));
    my @name = unpack('C*', $key_text);
    return [map { $constant[$_ % 4] ^ $name[$_] } 0 .. $#name];
}

# The inverse of the reader's NOT(swap-halves(b) XOR k): swap-halves(NOT(p) XOR k).
# $restart > 0 restarts the key position at every boundary of that size.
sub scramble {
    my ($bytes, $key_text, $restart) = @_;
    my $key = scramble_key($key_text);
    my $length = @$key;
    my @out = unpack('C*', $bytes);
    for my $p (0 .. $#out) {
        my $k = $key->[($restart ? $p % $restart : $p) % $length];
        my $v = (~$out[$p] & 0xFF) ^ $k;
        $out[$p] = (($v << 4) | ($v >> 4)) & 0xFF;
    }
    return pack('C*', @out);
}

sub ansi_bytes {
    my ($name) = @_;
    return encode($ansi, $name, sub { '?' });
}

sub read_manifest {
    my ($path) = @_;
    my $folder = dirname($path);
    my @entries;
    open(my $in, '<:raw', $path) or die "$path: $!\n";
    while (my $line = <$in>) {
        $line = decode('UTF-8', $line, Encode::FB_CROAK);
        $line =~ s/\r?\n\z//;
        next if $line eq '' || $line =~ /^#/;
        my ($name, $file, $compression, $scrambling) = split(/\t/, $line, -1);
        defined $scrambling or die "$path:$.: expected NAME, PATH, compression and scrambling\n";
        $compression =~ /^(stored|zlib)$/ or die "$path:$.: compression is stored or zlib\n";
        $scrambling =~ /^(none|blocks|whole)$/ or die "$path:$.: scrambling is none, blocks or whole\n";
        $file = File::Spec->rel2abs($file, $folder) unless File::Spec->file_name_is_absolute($file);
        push @entries, {name => $name, file => $file, compression => $compression, scrambling => $scrambling};
    }
    close($in);
    @entries <= 0xFFFF or die "$path: more than 65535 entries\n";
    return @entries;
}

sub pack_entry {
    my ($entry) = @_;
    my $name = $entry->{name};
    my $original = slurp($entry->{file});
    my $zlib = $entry->{compression} eq 'zlib';
    my $flags = 0;
    my $stored = $original;
    if ($entry->{scrambling} eq 'whole') {
        # The extracted file is scrambled as one run, keyed by the ANSI name.
        $flags = 0x2;
        $stored = scramble($stored, ansi_bytes($name), 0);
    }
    $stored = compress($stored) if $zlib;
    if ($entry->{scrambling} eq 'blocks') {
        # The stored bytes, after compression; the compressed path of format 3 keys with the UTF-8 name.
        $flags = 0x4;
        my $key_text = ($zlib && $format >= 3) ? encode('UTF-8', $name) : ansi_bytes($name);
        $stored = scramble($stored, $key_text, $BLOCK);
    }
    my $compression = $zlib ? 1 : 0;
    my ($original_size, $checksum) = (length($original), crc32($original));

    if ($format == 1) {
        my $narrow = ansi_bytes($name);
        length($narrow) < 260 or die "$name: a format-1 name has at most 259 bytes\n";
        my $header = pack('a260 V v x2 V V V v x30', $narrow, $flags, 0, length($stored), $original_size,
                          $checksum, $compression);
        return $header . $stored;
    }
    my $wide = encode('UTF-16LE', $name);
    my $header = pack('V V v V V V v', length($wide), $flags, 0, length($stored), $original_size, $checksum,
                      $compression);
    return $header . $wide . $stored;
}

my $image = read_image($image_path);
my @entries = read_manifest($manifest_path);
my $container = $format == 1
    ? pack('a13 x v V x26', 'Korvanstilmer', scalar(@entries), 1)
    : pack('a13 x v V x26', 'VIVezozArazov', scalar(@entries), $format);
$container .= pack_entry($_) for @entries;

my $partial = "$output_path.part";
open(my $out, '>:raw', $partial) or die "$partial: $!\n";
print $out $image, $container or die "$partial: $!\n";
close($out) or die "$partial: $!\n";
rename($partial, $output_path) or die "$output_path: $!\n";
chmod(0755, $output_path);
