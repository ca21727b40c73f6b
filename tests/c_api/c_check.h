/* The C tests' one check: counts, and names what failed. Each test program includes it once
   and ends with c_check_summary(). C89. */
#ifndef KAVRO_TESTS_C_API_C_CHECK_H
#define KAVRO_TESTS_C_API_C_CHECK_H

#include <stdio.h>

static int passed = 0;
static int failed = 0;

static void check(int ok, const char* what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    printf("FAILED: %s\n", what);
  }
}

/* Prints the counts; the program's exit status. */
static int c_check_summary(void) {
  printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}

#endif /* KAVRO_TESTS_C_API_C_CHECK_H */
