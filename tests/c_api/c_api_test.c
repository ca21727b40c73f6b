/* The C interface compiles as C89 and links against the library: the setting readers and the
   conversions between fixed-length fields and C strings, called as a C program calls them. */
#define _POSIX_C_SOURCE 200112L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "c_api/c_check.h"
#include "kavro/kavro_c.h"

static void test_readers(void) {
  int status = 99;
  char buf[8];

  setenv("KAVRO_C_YN", ".TRUE.", 1);
  check(envync("KAVRO_C_YN", "d", 0, &status) == 1 && status == 0, "envync .TRUE.");
  setenv("KAVRO_C_YN", "maybe", 1);
  check(envync("KAVRO_C_YN", "d", 0, &status) == 0 && status == 1, "envync maybe");
  unsetenv("KAVRO_C_YN");
  check(envync("KAVRO_C_YN", "d", 1, &status) == 1 && status == -2, "envync unset");

  setenv("KAVRO_C_INT", "  42", 1);
  check(envintc("KAVRO_C_INT", "d", 7, &status) == 42 && status == 0, "envintc 42");
  setenv("KAVRO_C_INT", "x42", 1);
  check(envintc("KAVRO_C_INT", "d", 7, &status) == 7 && status == 1, "envintc x42");
  setenv("KAVRO_C_INT", "", 1);
  check(envintc("KAVRO_C_INT", "d", 7, &status) == 7 && status == -1, "envintc empty");

  setenv("KAVRO_C_REAL", "2.5", 1);
  check(envrealc("KAVRO_C_REAL", "d", 1.0f, &status) == 2.5f && status == 0, "envrealc 2.5");
  setenv("KAVRO_C_REAL", "-1e-3", 1);
  check(envdblec("KAVRO_C_REAL", "d", 1.0, &status) == -1e-3 && status == 0, "envdblec -1e-3");
  setenv("KAVRO_C_REAL", "abc", 1);
  check(envdblec("KAVRO_C_REAL", "d", 1.0, &status) == 1.0 && status == 1, "envdblec abc");

  /* The value is cut to the buffer with its NUL; the byte after the buffer is never written. */
  memset(buf, '#', sizeof buf);
  setenv("KAVRO_C_STR", "abcdefghij", 1);
  envstrc("KAVRO_C_STR", "d", "dflt", buf, &status, 6);
  check(strcmp(buf, "abcde") == 0 && buf[6] == '#' && status == 0, "envstrc cut");
  unsetenv("KAVRO_C_STR");
  envstrc("KAVRO_C_STR", "d", "dflt", buf, &status, 6);
  check(strcmp(buf, "dflt") == 0 && status == -2, "envstrc unset");
}

static void test_conversions(void) {
  char c[8];
  char f[6];

  memset(c, '#', sizeof c);
  name2cstr("NAME1 tail", c, 10, 6);
  check(strcmp(c, "NAME") == 0 && c[5] == '\0' && c[6] == '#', "name2cstr cut to csize - 2");
  memset(c, '#', sizeof c);
  name2cstr("AB\tCD", c, 5, 8);
  check(strcmp(c, "AB") == 0 && c[7] == '\0', "name2cstr stops at tab");
  memset(c, '#', sizeof c);
  name2cstr("AB", c, 2, 0);
  check(c[0] == '#', "name2cstr csize 0 writes nothing");

  memset(c, '#', sizeof c);
  fstr2cstr("AB  ", c, 4, 8);
  check(strcmp(c, "AB  ") == 0, "fstr2cstr keeps trailing blanks");
  memset(c, '#', sizeof c);
  fstr2cstr("ABCDEFGH", c, 8, 4);
  check(strcmp(c, "ABC") == 0 && c[4] == '#', "fstr2cstr cut to csize - 1");

  memset(f, '#', sizeof f);
  cstr2fstr("ab", f, 4);
  check(memcmp(f, "ab  ##", 6) == 0, "cstr2fstr blank-fills");
  memset(f, '#', sizeof f);
  cstr2fstr("abcdefgh", f, 5);
  check(memcmp(f, "abcde#", 6) == 0, "cstr2fstr cuts to the field");
}

/* Memory-resident buffers: two halves stored, fetched and blended; native binary routines on
   a slot with no file refuse. */
static void test_buffers_and_binary(void) {
  float one[4] = {1.0f, 2.0f, 3.0f, 4.0f};
  float two[4] = {3.0f, 4.0f, 5.0f, 6.0f};
  float out[4] = {0.0f, 0.0f, 0.0f, 0.0f};
  int flags[2] = {0, 0};

  check(BUFPUT3(7, 1, 4, 0, 1, one) == 1, "BUFPUT3 half 0");
  check(BUFPUT3(7, 1, 4, 1, 1, two) == 1, "BUFPUT3 half 1");
  check(BUFGET3(7, 1, 2, 2, 2, 1, out) == 1 && out[0] == 5.0f && out[1] == 6.0f,
        "BUFGET3 layer 2 of half 1");
  check(BUFINT3(7, 1, 4, 0, 1, 0.5f, 0.5f, out) == 1 && out[3] == 5.0f, "BUFINT3 midway");
  check(BUFDDT3(7, 1, 4, 1, 0, 2.0f, out) == 1 && out[0] == -4.0f, "BUFDDT3");
  check(BUFDEL3(7) == 1 && BUFGET3(7, 1, 1, 1, 4, 0, out) == 0, "BUFDEL3 releases");
  check(RDBFLAG(9, 1, 1, flags) == 0 && CLOSEBIN3(9) == 0, "no native binary file in slot 9");
}

int main(void) {
  /* The readers' messages are not this test's business. */
  setenv("LOGFILE", "/dev/null", 1);
  test_readers();
  test_conversions();
  test_buffers_and_binary();
  return c_check_summary();
}
