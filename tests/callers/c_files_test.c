/* The C interface to files, compiled as C89 and called as a C program calls it, on the file
   write_grid_fixture makes (GRIDFILE): open, the description record, reads of each type,
   refused reads, why a file failed, a copy created and written, close and shutdown, and the exit
   routine in a child process. */
#define _POSIX_C_SOURCE 200112L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "c_api/c_check.h"
#include "kavro/kavro_c.h"

static struct kavro_bdesc3 b;
static struct kavro_cdesc3 c;

/* The fixture's value of variable var (1-based) in record rec, layer, row, column. */
static double value(int var, int rec, int lay, int row, int col) {
  return var * 1000.0 + rec * 100.0 + lay * 10.0 + row + col * 0.25;
}

static void test_open_and_describe(void) {
  check(open3c("GRIDFILE", FSREAD3, "c_files_test") == 1, "open3c GRIDFILE");
  check(open3c("NO_SUCH_FILE", FSREAD3, "c_files_test") == 0, "open3c of a missing file");
  memset(&b, 0, sizeof b);
  memset(&c, '#', sizeof c);
  check(desc3c("GRIDFILE", &b, &c) == 1, "desc3c");
  check(b.FTYPE3D == GRDDED3 && b.NCOLS3D == 4 && b.NROWS3D == 3 && b.NLAYS3D == 2, "desc3c grid");
  check(b.NVARS3D == 3 && b.VTYPE3D[0] == XQREAL && b.VTYPE3D[1] == XQINT && b.VTYPE3D[2] == XQDBLE,
        "desc3c variable types");
  check(b.SDATE3D == 2024033 && b.STIME3D == 0 && b.TSTEP3D == 10000 && b.MXREC3D == 2,
        "desc3c time steps");
  check(b.XORIG3D == -120000.0 && b.XCELL3D == 12000.0 && b.P_GAM3D == -90.0, "desc3c map");
  check(memcmp(c.GDNAM3D, "FIXTURE_GRID    ", 16) == 0, "desc3c GDNAM3D blank-padded");
  check(memcmp(c.VNAME3D[1], "CLASS           ", 16) == 0, "desc3c VNAME3D[1]");
  check(memcmp(c.UNITS3D[2], "K               ", 16) == 0, "desc3c UNITS3D[2]");
  check(memcmp(c.VDESC3D[0], "ozone ", 6) == 0 && c.VDESC3D[0][79] == ' ', "desc3c VDESC3D[0]");
  check(desc3c("GRIDFILE", NULL, NULL) == 1, "desc3c without copies");
  check(desc3c("NO_SUCH_FILE", &b, NULL) == 0, "desc3c of a file not open");
}

static void test_reads(void) {
  float o3[2][3][4];
  int cls[3][4];
  double temp[2][3][4];
  int lay, row, col, ok;

  /* O3, every layer at the second step: columns fastest, then rows, then layers. */
  check(read3c("GRIDFILE", "O3", ALLAYS3, 2024033, 10000, o3, sizeof o3) == 1, "read3c O3");
  ok = 1;
  for (lay = 1; lay <= 2; ++lay)
    for (row = 1; row <= 3; ++row)
      for (col = 1; col <= 4; ++col)
        ok &= o3[lay - 1][row - 1][col - 1] == (float)value(1, 2, lay, row, col);
  check(ok, "read3c O3 values");

  check(read3c("GRIDFILE", "CLASS", 2, 2024033, 0, cls, sizeof cls) == 1, "read3c CLASS layer 2");
  ok = 1;
  for (row = 1; row <= 3; ++row)
    for (col = 1; col <= 4; ++col)
      ok &= cls[row - 1][col - 1] == (int)(value(2, 1, 2, row, col) + 0.5);
  check(ok, "read3c CLASS values (rounded half away from zero)");

  check(read3c("GRIDFILE", "TEMP", ALLAYS3, 2024033, 0, temp, sizeof temp) == 1, "read3c TEMP");
  check(temp[1][2][3] == value(3, 1, 2, 3, 4) && temp[0][0][0] == value(3, 1, 1, 1, 1),
        "read3c TEMP values");

  /* Refused reads leave the buffer as it was. */
  o3[0][0][0] = -1.0f;
  check(
      read3c("GRIDFILE", "O3", ALLAYS3, 2024033, 0, o3, sizeof o3 - 1) == 0 && o3[0][0][0] == -1.0f,
      "read3c refuses a buffer too small");
  check(read3c("GRIDFILE", "O3", ALLAYS3, 2024033, 20000, o3, sizeof o3) == 0,
        "read3c of a step the file lacks");
  check(read3c("GRIDFILE", "NOX", ALLAYS3, 2024033, 0, o3, sizeof o3) == 0,
        "read3c of a variable the file lacks");
}

static void test_close_and_shut(void) {
  float o3[2][3][4];
  check(close3c("GRIDFILE") == 1, "close3c");
  check(read3c("GRIDFILE", "O3", ALLAYS3, 2024033, 0, o3, sizeof o3) == 0, "read3c after close3c");
  check(open3c("GRIDFILE", FSREAD3, "c_files_test") == 1, "open3c again");
  check(shut3c() == 1, "shut3c");
}

/* The last failure of a file: what a failed open3c left, each text cut to its buffer before a
   whole character and NUL-terminated, the byte after a buffer never written; nothing once
   forgotten. The path "missing_\303\251.nc" is 13 bytes, its e-acute bytes 9 and 10. */
static void test_file_failure(void) {
  static const struct {
    size_t size;      /* the path buffer's size */
    const char* path; /* what it then holds */
  } cuts[] = {{14, "missing_\303\251.nc"},
              {13, "missing_\303\251.n"},
              {11, "missing_\303\251"},
              {10, "missing_"},
              {9, "missing_"},
              {1, ""}};
  char routine[33], lname[17], path[20], cause[161];
  size_t i;

  setenv("KAVRO_C_MISSING", "missing_\303\251.nc", 1);
  check(open3c("KAVRO_C_MISSING", FSREAD3, "c_files_test") == 0, "open3c of a missing file");
  check(kavro_last_file_failure(routine, sizeof routine, lname, sizeof lname, path, sizeof path,
                                cause, sizeof cause) == 1,
        "kavro_last_file_failure after a failed open");
  check(strcmp(routine, "OPEN3") == 0 && strcmp(lname, "KAVRO_C_MISSING") == 0 &&
            strcmp(path, "missing_\303\251.nc") == 0 && strcmp(cause, "no such file") == 0,
        "kavro_last_file_failure texts");
  for (i = 0; i < sizeof cuts / sizeof cuts[0]; ++i) {
    memset(path, '#', sizeof path);
    check(kavro_last_file_failure(NULL, 0, NULL, 0, path, cuts[i].size, NULL, 0) == 1 &&
              strcmp(path, cuts[i].path) == 0 && path[cuts[i].size] == '#',
          "kavro_last_file_failure cuts the path before a whole character");
  }
  memset(path, '#', sizeof path);
  check(kavro_last_file_failure(NULL, 0, NULL, 0, path, 0, NULL, 0) == 1 && path[0] == '#',
        "kavro_last_file_failure writes nothing into a buffer of size 0");

  kavro_clear_file_failure();
  memset(routine, '#', sizeof routine);
  memset(cause, '#', sizeof cause);
  check(kavro_last_file_failure(routine, sizeof routine, NULL, 0, NULL, 0, cause, sizeof cause) ==
                0 &&
            routine[0] == '\0' && cause[0] == '\0' && routine[1] == '#',
        "kavro_clear_file_failure forgets it");
  check(open3c("GRIDFILE", FSREAD3, "c_files_test") == 1 &&
            kavro_last_file_failure(NULL, 0, NULL, 0, NULL, 0, NULL, 0) == 0,
        "a call that succeeds records no failure");
}

/* xqexitc ends the process with the status it is given. */
static void test_exit(void) {
  int status = 0;
  pid_t pid;
  fflush(stdout);
  pid = fork();
  if (pid == 0) {
    xqexitc("c_files_test", 0, 0, "stopping on purpose", 2);
    _exit(99);
  }
  check(pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 2,
        "xqexitc ends with status 2");
}

/* A file created from the description just read (setdesc3c), a step written with write3c and
   read back with read3c; a buffer too small for the step is refused. */
static void test_create_and_write(void) {
  static char path[600];
  float out[24], back[24];
  int i;
  sprintf(path, "%.500s.c_copy.nc", getenv("GRIDFILE"));
  setenv("CWRITE", path, 1);
  setdesc3c(&b, &c);
  check(open3c("CWRITE", FSCREA3, "c_files_test") == 1, "open3c FSCREA3 from setdesc3c");
  for (i = 0; i < 24; ++i) out[i] = (float)i * 0.5f;
  check(write3c("CWRITE", "O3", 2024033, 10000, out, sizeof out) == 1, "write3c");
  check(write3c("CWRITE", "O3", 2024033, 20000, out, sizeof out - 1) == 0,
        "write3c refuses a short buffer");
  memset(back, 0, sizeof back);
  check(read3c("CWRITE", "O3", ALLAYS3, 2024033, 10000, back, sizeof back) == 1, "read3c written");
  check(memcmp(back, out, sizeof out) == 0, "read3c gives what write3c wrote");
  check(read3c("CWRITE", "O3", ALLAYS3, 2024033, 20000, back, sizeof back) == 0,
        "read3c of the refused step fails");
  check(close3c("CWRITE") == 1, "close3c CWRITE");
  remove(path);
}

int main(void) {
  /* The log is not this test's business (the tests of the log are). */
  setenv("LOGFILE", "/dev/null", 1);
  if (getenv("GRIDFILE") == NULL) {
    printf("GRIDFILE is not set\n");
    return 1;
  }
  check(init3c() >= 0, "init3c");
  test_open_and_describe();
  test_reads();
  test_file_failure();
  test_create_and_write();
  test_close_and_shut();
  test_exit();
  return c_check_summary();
}
