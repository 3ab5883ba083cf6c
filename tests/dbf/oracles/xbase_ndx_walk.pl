#!/usr/bin/perl
# Walks an NDX file with Perl's XBase module, as a test oracle: one line per entry in the
# order the module reads them, "record number TAB key", the key of a character index as
# hexadecimal bytes and of a numeric index as the number.
#
# usage: xbase_ndx_walk.pl FILE.ndx
use strict;
use warnings;
use XBase::Index;

my ($path) = @ARGV;
my $index = XBase::Index->new($path) or die "cannot open $path: " . XBase::Index->errstr . "\n";
$index->prepare_select or die "cannot walk $path: " . $index->errstr . "\n";
binmode(STDOUT);
while (my ($key, $recno) = $index->fetch) {
  if ($key =~ /^-?[0-9.eE+-]+$/ && $index->{'key_type'}) {
    print "$recno\t" . ($key + 0) . "\n";
  } else {
    print "$recno\t" . unpack("H*", $key) . "\n";
  }
}
