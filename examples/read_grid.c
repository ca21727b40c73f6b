/* Opens the gridded file named by the logical name GRIDFILE, describes it, reads its first
   variable at its first time step and prints the grid, the variables and the first layer's
   corner values, through the C interface. A file it cannot open is named on standard error
   with the reason the library gives.

     GRIDFILE=run1.nc LOGFILE=/dev/null ./read_grid_c */
#include <kavro/kavro_c.h>
#include <stdio.h>
#include <stdlib.h>

/* The texts are large (VDESC3D alone is 160 KB): static, not on the stack. */
static struct kavro_bdesc3 b;
static struct kavro_cdesc3 c;

int main(void) {
  size_t ncols, cells, last_row;
  float* values;
  int v;

  init3c();
  if (!open3c("GRIDFILE", FSREAD3, "read_grid_c")) {
    /* Why, as the log gives it: the routine, the logical name, its path and a short cause. */
    char routine[33], lname[17], path[513], cause[161];
    if (kavro_last_file_failure(routine, sizeof routine, lname, sizeof lname, path, sizeof path,
                                cause, sizeof cause)) {
      fprintf(stderr, "read_grid_c: %s: %s (%s): %s\n", routine, lname, path, cause);
    }
    xqexitc("read_grid_c", 0, 0, "Could not open GRIDFILE", 2);
  }
  if (!desc3c("GRIDFILE", &b, &c)) {
    xqexitc("read_grid_c", 0, 0, "Could not describe GRIDFILE", 2);
  }
  /* Text fields are blank-padded and not NUL-terminated. */
  printf("grid %.16s: %d columns x %d rows x %d layers, %d variables\n", c.GDNAM3D, b.NCOLS3D,
         b.NROWS3D, b.NLAYS3D, b.NVARS3D);
  for (v = 0; v < b.NVARS3D; ++v) {
    printf("  %.16s %.16s type %d\n", c.VNAME3D[v], c.UNITS3D[v], b.VTYPE3D[v]);
  }
  if (b.NVARS3D < 1 || b.VTYPE3D[0] != XQREAL) {
    xqexitc("read_grid_c", 0, 0, "", 0);
  }

  /* All layers of the first variable at the first step: columns vary fastest, then rows. A
     name passed to read3c counts up to its NUL, so the 16-character field is copied out. */
  ncols = (size_t)b.NCOLS3D;
  cells = ncols * (size_t)b.NROWS3D * (size_t)b.NLAYS3D;
  values = (float*)malloc(cells * sizeof(float));
  {
    char vname[17];
    fstr2cstr(c.VNAME3D[0], vname, 16, 17);
    if (values == NULL ||
        !read3c("GRIDFILE", vname, ALLAYS3, b.SDATE3D, b.STIME3D, values, cells * sizeof(float))) {
      xqexitc("read_grid_c", 0, 0, "Could not read GRIDFILE", 2);
    }
  }
  last_row = ncols * (size_t)(b.NROWS3D - 1);
  printf("%.16s at %d:%06d, corners of layer 1: %g %g %g %g\n", c.VNAME3D[0], b.SDATE3D, b.STIME3D,
         values[0], values[ncols - 1], values[last_row], values[last_row + ncols - 1]);
  free(values);
  xqexitc("read_grid_c", 0, 0, "", 0);
  return 0;
}
