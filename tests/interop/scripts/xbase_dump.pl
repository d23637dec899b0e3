# Dumps a table through Perl's XBase module, every record in file order with
# its deletion flag, in the line form of canon.py.
use strict;
use warnings;
use File::Basename qw(dirname);
use lib dirname(__FILE__);
use XBase;
use Canon qw(field_line record_line);

my $t = XBase->new($ARGV[0]) or die XBase->errstr;
my @names = $t->field_names;
my @types = $t->field_types;
my @lens = $t->field_lengths;
my @decs = $t->field_decimals;
my @fields = map { [$types[$_], $decs[$_]] } 0 .. $#names;
print field_line($names[$_], $types[$_], $lens[$_], $decs[$_]) for 0 .. $#names;
for my $r (0 .. $t->last_record) {
  my ($deleted, @v) = $t->get_record($r);
  die $t->errstr unless defined $deleted;
  print record_line($deleted, \@fields, \@v);
}
