# Writes a table with Perl's XBase module and prints, in the line form of
# canon.py, what our engine is expected to read from it.
#
# usage: xbase_write.pl TABLE.dbf fpt|plain
#   fpt    version 0xF5 table with an .fpt memo file (the module's FoxPro kind,
#          512-byte memo blocks)
#   plain  dBase III table (0x03) without memo fields; the module's default
#          memo kind for such tables is a .dbt file
use strict;
use warnings;
use File::Basename qw(dirname);
use lib dirname(__FILE__);
use XBase;
use Canon qw(field_line record_line);

my ($path, $kind) = @ARGV;
my $with_memo = $kind eq 'fpt';

my @fields = (
  ['NOMBRE', 'C', 40, 0],
  ['CANTIDAD', 'N', 10, 2],
  ['PRECIO', 'N', 9, 2],
  ['CODIGO', 'N', 6, 0],
  ['NOTAS', 'M', 10, 0],
  ['PESO', 'F', 12, 3],
  ['ACTIVO', 'L', 1, 0],
  ['ALTA', 'D', 8, 0],
);
@fields = grep { $_->[1] ne 'M' } @fields unless $with_memo;

my $long = join('', map { "$_. Diluir un 10%\tcon agua; C:\\obra \x80 3,50\r\n" } 1 .. 40);
# [deleted, { field => value }], text as Windows-1252 bytes.
my @rows = (
  [0, { NOMBRE => "Tornillo \xD1and\xFA 3/4", CANTIDAD => 1250, PRECIO => 0.15, CODIGO => 1,
        NOTAS => 'nota corta', PESO => 0.125, ACTIVO => 1, ALTA => '20240131' }],
  [0, { NOMBRE => "Arandela \xABinox\xBB \x80 caja", CANTIDAD => -2.5, PRECIO => -99999.99,
        CODIGO => 999999,
        NOTAS => "Proveedor: Ferreter\xEDa Garc\xEDa\r\nPedido m\xEDnimo: 12 uds.\r\nPlazo: 2 d\xEDas",
        PESO => -1234.5, ACTIVO => 0, ALTA => '20000229' }],
  [0, { NOMBRE => '  Broca HSS 6 mm', CANTIDAD => 0, PRECIO => 0, CODIGO => 0, NOTAS => '',
        PESO => 0, ACTIVO => undef, ALTA => undef }],
  [1, { NOMBRE => 'Borrada', CANTIDAD => 1, PRECIO => 1, CODIGO => 4, NOTAS => 'nota de la borrada',
        PESO => 1.5, ACTIVO => 1, ALTA => '19991231' }],
  [0, { NOMBRE => "Pintura pl\xE1stica blanca 15 l", CANTIDAD => 9999999.99, PRECIO => 999999.99,
        CODIGO => 42, NOTAS => $long, PESO => 99999999.999, ACTIVO => 1, ALTA => '20380119' }],
  # The module stores an empty-string date as "       0": the product reads an empty date.
  [0, { NOMBRE => "Cinta americana plateada 50 mm x 25 m \xE7\xFC", CANTIDAD => undef,
        PRECIO => undef, CODIGO => undef, NOTAS => 'x' x 512, PESO => undef, ACTIVO => 0,
        ALTA => '' }],
);

my $t = XBase->create(
  name => $path,
  field_names => [map { $_->[0] } @fields],
  field_types => [map { $_->[1] } @fields],
  field_lengths => [map { $_->[2] } @fields],
  field_decimals => [map { $_->[3] } @fields],
  ($with_memo ? (version => 0xF5) : ()),
) or die XBase->errstr;
my $n = 0;
for my $row (@rows) {
  my ($deleted, $v) = @$row;
  $t->set_record($n, map { $v->{$_->[0]} } @fields) or die $t->errstr;
  $t->delete_record($n) or die $t->errstr if $deleted;
  ++$n;
}
$t->close;

my @types = map { [$_->[1], $_->[3]] } @fields;
print field_line(@$_) for @fields;
for my $row (@rows) {
  my ($deleted, $v) = @$row;
  print record_line($deleted, \@types, [map { $v->{$_->[0]} } @fields]);
}
