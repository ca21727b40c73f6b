// Brindlewick: compares every variable of two gridded data files cell by cell.
#include "kavro/kavro.h"

int main() {
  kavro::INIT3();
  kavro::XQEXIT("Brindlewick", 0, 0, "", 0);
}
