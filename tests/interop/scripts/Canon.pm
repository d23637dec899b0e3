# The line form of canon.py for the Perl scripts: values are Windows-1252
# bytes as Perl's XBase module hands them over.
package Canon;
use strict;
use warnings;
use Encode qw(decode encode);
use Exporter 'import';
our @EXPORT_OK = qw(field_line record_line);

sub esc {
  my ($bytes) = @_;
  my $utf8 = encode('UTF-8', decode('cp1252', $bytes, Encode::FB_CROAK));
  my $out = '';
  for my $c (unpack('C*', $utf8)) {
    if ($c == 0x5C) { $out .= '\\\\'; }
    elsif ($c >= 0x20 && $c < 0x7F) { $out .= chr($c); }
    else { $out .= sprintf('\\x%02X', $c); }
  }
  return $out;
}

sub value {
  my ($type, $dec, $x) = @_;
  if ($type eq 'C') { $x = defined $x ? $x : ''; $x =~ s/ +$//; return esc($x); }
  if ($type eq 'M') { return esc(defined $x ? $x : ''); }
  # A blank number is 0 to the product.
  if ($type eq 'N' || $type eq 'F') { return sprintf('%.*f', $dec, defined $x && $x ne '' ? $x : 0); }
  if ($type eq 'D') { return defined $x && $x =~ /^\d{8}$/ ? $x : ''; }
  if ($type eq 'L') { return $x ? 'T' : 'F'; }
  return '?';
}

sub field_line {
  my ($name, $type, $len, $dec) = @_;
  return sprintf("F\t%s\t%s\t%d\t%d\n", uc $name, $type, $len, $dec || 0);
}

# record_line($deleted, [[type, dec], ...], [values])
sub record_line {
  my ($deleted, $fields, $values) = @_;
  my @out = ('R', $deleted ? '*' : '-');
  for my $i (0 .. $#$fields) {
    push @out, value($fields->[$i][0], $fields->[$i][1] || 0, $values->[$i]);
  }
  return join("\t", @out) . "\n";
}

1;
