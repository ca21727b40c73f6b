// Brindlewick: compares every variable of two gridded data files cell by cell and prints a
// located report for every cell whose values differ.
#include "kavro/kavro.h"
#include "run.h"

int main() {
  brindlewick::set_floating_point_modes();
  kavro::INIT3();
  brindlewick::compare_files();
}
