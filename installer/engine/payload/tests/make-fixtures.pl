#!/usr/bin/perl
# Fixtures of the setup-stream tests, written at build time.
#   make-fixtures.pl data FOLDER          entry files and the manifests that list them
#   make-fixtures.pl image KIND FILE      a small synthetic PE image (see %images)
#   make-fixtures.pl certify IN OUT SIZE  IN with a certificate table of SIZE bytes appended
use strict;
use warnings;
use Encode qw(encode);
use File::Path qw(make_path);

sub spew {
    my ($path, $bytes) = @_;
    open(my $out, '>:raw', $path) or die "$path: $!\n";
    print $out $bytes or die "$path: $!\n";
    close($out) or die "$path: $!\n";
}

sub slurp {
    my ($path) = @_;
    open(my $in, '<:raw', $path) or die "$path: $!\n";
    local $/;
    my $data = <$in>;
    close($in);
    return defined $data ? $data : '';
}

# Stretches of noise (incompressible) and of repeated text, so that the zlib
# entries hold both stored and coded blocks.
sub content {
    my ($size, $seed) = @_;
    my $state = $seed;
    my $bytes = '';
    while (length($bytes) < $size) {
        $state = ($state * 1103515245 + 12345) & 0x7FFFFFFF;
        if (($state >> 8) & 1) {
            $bytes .= join('', map { $state = ($state * 1103515245 + 12345) & 0x7FFFFFFF; chr(($state >> 16) & 0xFF) } 1 .. 97);
        } else {
            $bytes .= "Tessarel payload line $state \x00\xFF\n" x 3;
        }
    }
    return substr($bytes, 0, $size);
}

sub data {
    my ($folder) = @_;
    make_path("$folder/files");
    my @sizes = (0, 1, 1023, 1024, 1025, 70000);
    my @lines;
    for my $compression (qw(stored zlib)) {
        for my $scrambling (qw(none blocks whole)) {
            for my $size (@sizes) {
                my $file = "files/$compression-$scrambling-$size.bin";
                spew("$folder/$file", content($size, $size + 7));
                push @lines, "$compression-$scrambling-$size.bin\t$file\t$compression\t$scrambling";
            }
            # A name outside ASCII keys the scrambling differently in ANSI and in UTF-8.
            my $file = "files/umlaut-$compression-$scrambling.txt";
            spew("$folder/$file", content(3000, 99));
            push @lines, "Gr\x{f6}\x{df}e-$compression-$scrambling.txt\t$file\t$compression\t$scrambling";
        }
    }
    spew("$folder/matrix.list", encode('UTF-8', join("\n", @lines) . "\n"));

    # Hand-checked vector: "xyz" stored under the name "ab", scrambled in blocks.
    spew("$folder/files/xyz.bin", 'xyz');
    spew("$folder/known.list", "ab\tfiles/xyz.bin\tstored\tblocks\n");

    # Two names that differ only in case (the first wins), then entries whose
    # stored bytes end the file so that the tests can cut them short.
    spew("$folder/files/first.xml", "<first/>");
    spew("$folder/files/second.xml", "<second/>");
    spew("$folder/files/tail.bin", content(70000, 5));
    spew("$folder/cases-zlib.list",
         "setup.xml\tfiles/first.xml\tstored\tnone\nSETUP.XML\tfiles/second.xml\tstored\tnone\n" .
         "tail.bin\tfiles/tail.bin\tzlib\tblocks\n");
    spew("$folder/cases-stored.list", "tail.bin\tfiles/tail.bin\tstored\tnone\n");
    spew("$folder/single.list", "setup.xml\tfiles/first.xml\tstored\tnone\n");
    spew("$folder/empty.list", "# no entries\n");
}

# Synthetic images: 0x400 bytes of headers, then sections of 0x200 raw bytes.
# Each kind lists its sections [name, address], its debug directory [address,
# entries of [data pointer, data size]], the address whose bytes hold the
# entries when that is not the directory's own (plant), and the debug bytes
# kept behind the sections. The expected container offsets are in the tests.
my %images = (
    plain => {sections => [['.text', 0x1000], ['.rdata', 0x2000]]},
    'debug-rdata' => {sections => [['.text', 0x1000], ['.rdata', 0x2000]],
                      debug => [0x2010, [[0x640, 0x20], [0x800, 0x60]]], behind => 0x60},
    'debug-section' => {sections => [['.text', 0x1000], ['.rdata', 0x2000], ['.DEBUG', 0x3000]],
                        debug => [0x3000, [[0xA00, 0x30]]], behind => 0x30},
    'debug-text' => {sections => [['.text', 0x1000]], debug => [0x1010, [[0x600, 0x10]]], behind => 0x10},
    # The directory's address lies before .rdata: taken as inside it, it would
    # land on the entry planted at the start of .text.
    'debug-below' => {sections => [['.text', 0x1000], ['.rdata', 0x2000]], debug => [0x1E00, [[0x800, 0x40]]],
                      plant => 0x1000},
    'not-mz' => {broken => 'mz'},
    'bad-signature' => {broken => 'signature'},
    'short-headers' => {broken => 'short'},
);

sub image {
    my ($kind, $path) = @_;
    my $layout = $images{$kind} or die "unknown image kind $kind\n";
    my $broken = $layout->{broken} || '';
    if ($broken eq 'short') {
        spew($path, pack('a2 x58 V', 'MZ', 0x80) . ("\0" x 0x80));
        return;
    }
    my @sections = @{$layout->{sections} || []};
    my $headers = pack('a2 x58 V', $broken eq 'mz' ? 'ZM' : 'MZ', 0x40);
    $headers .= $broken eq 'signature' ? "PE\0\1" : "PE\0\0";
    $headers .= pack('v v V V V v v', 0x14C, scalar(@sections), 0, 0, 0, 224, 0x102);
    my @directories = ((0) x 32);
    if ($layout->{debug}) {
        my ($address, $entries) = @{$layout->{debug}};
        @directories[12, 13] = ($address, 28 * @$entries);
    }
    my $optional = pack('v C C V V V V V V V V V v v v v v v V V V V v v V V V V V V',
                        0x10B, 2, 38, 0x200 * @sections, 0, 0, 0x1000, 0x1000, 0x2000, 0x400000, 0x1000, 0x200,
                        4, 0, 0, 0, 4, 0, 0, 0x1000 * (@sections + 1), 0x400, 0, 3, 0, 0x100000, 0x1000,
                        0x100000, 0x1000, 0, 16);
    $optional .= pack('V*', @directories);
    $headers .= $optional;
    my $raw = 0x400;
    for my $section (@sections) {
        my ($name, $address) = @$section;
        $headers .= pack('a8 V V V V V V v v V', $name, 0x200, $address, 0x200, $raw, 0, 0, 0, 0, 0x40000040);
        $raw += 0x200;
    }
    my $bytes = $headers . ("\0" x (0x400 - length($headers)));
    for my $section (@sections) {
        my ($name, $address) = @$section;
        my $body = "\xCC" x 0x200;
        if ($layout->{debug}) {
            my ($debug_address, $entries) = @{$layout->{debug}};
            my $plant = $layout->{plant} // $debug_address;
            if ($plant >= $address && $plant < $address + 0x200) {
                my $directory = join('', map { pack('V V v v V V V V', 0, 0, 0, 0, 2, $_->[1], 0, $_->[0]) } @$entries);
                substr($body, $plant - $address, length($directory)) = $directory;
            }
        }
        $bytes .= $body;
    }
    $bytes .= "\xDB" x ($layout->{behind} || 0);
    spew($path, $bytes);
}

# Appends a certificate table (one WIN_CERTIFICATE record) and points data
# directory 4 at it, as a signing tool does.
sub certify {
    my ($in, $out, $size) = @_;
    my $bytes = slurp($in);
    my $nt = unpack('V', substr($bytes, 60, 4));
    my $optional = $nt + 24;
    my $plus = unpack('v', substr($bytes, $optional, 2)) == 0x20B;
    my $directory = $optional + ($plus ? 112 : 96) + 8 * 4;
    my $offset = length($bytes);
    substr($bytes, $directory, 8) = pack('V V', $offset, $size);
    $bytes .= pack('V v v', $size, 0x200, 2) . ("\x5C" x ($size - 8));
    spew($out, $bytes);
}

my $command = shift(@ARGV) // '';
if ($command eq 'data' && @ARGV == 1) {
    data(@ARGV);
} elsif ($command eq 'image' && @ARGV == 2) {
    image(@ARGV);
} elsif ($command eq 'certify' && @ARGV == 3) {
    certify(@ARGV);
} else {
    die "usage: $0 data FOLDER | image KIND FILE | certify IN OUT SIZE\n";
}
