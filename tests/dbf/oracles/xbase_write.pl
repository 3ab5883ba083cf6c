#!/usr/bin/perl
# Writes a dBASE IV table with a dBASE IV memo file using Perl's XBase module, as a test
# oracle.
#
# usage: xbase_write.pl OUT.dbf LDID ENCODING ROWS.json
#   LDID      language driver id, e.g. 0x65
#   ENCODING  the code page of that id for Perl's Encode, e.g. cp866
#   ROWS      as for pydbf_write.py
use strict;
use warnings;
use Encode qw(encode);
use JSON::PP;
use XBase;

my ($out, $ldid, $encoding, $rows_path) = @ARGV;
open(my $fh, '<:raw', $rows_path) or die "cannot read $rows_path: $!";
my $rows = JSON::PP->new->utf8->decode(do { local $/; <$fh> });
close($fh);

unlink($out);
(my $memo = $out) =~ s/\.dbf$/.dbt/i;
unlink($memo);
my $table = XBase->create(
    name           => $out,
    field_names    => ['FAMIL', 'SUMPAY', 'DATERCPT', 'OK', 'PRIM'],
    field_types    => ['C', 'N', 'D', 'L', 'M'],
    field_lengths  => [25, 12, 8, 1, 10],
    field_decimals => [0, 2, 0, 0, 0],
    version        => 0x8b,
    codepage       => hex($ldid),
) or die XBase->errstr;

my $n = 0;
for my $row (@$rows) {
    my $date = $row->{DATERCPT};
    $date =~ s/-//g if defined $date;
    my $ok = $row->{OK};
    $table->set_record($n++,
        encode($encoding, $row->{FAMIL}),
        $row->{SUMPAY},
        $date,
        defined $ok ? ($ok ? 1 : 0) : undef,
        $row->{PRIM} eq '' ? undef : encode($encoding, $row->{PRIM}),
    ) or die $table->errstr;
}
$table->close;
