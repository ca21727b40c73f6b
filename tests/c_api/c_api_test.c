/* The C interface compiles as C89 and links against the library. */
#include <stdio.h>
#include <string.h>

#include "kavro/kavro_c.h"

int main(void) {
  char f[8];
  cstr2fstr("ab", f, 8);
  (void)f;
  printf("1 passed, 0 failed\n");
  return 0;
}
