/* The kavro library's C interface: message bridges, setting readers, the conversions between
   fixed-length and NUL-terminated strings, and opening, describing, creating, reading and
   writing files. C89-clean.

   Numbers are passed by value throughout, the native binary and memory-resident routines
   included (RDBVARS(fid, vid, layer, step, buffer) takes four ints, not their addresses); only
   arrays and results go by address. A Fortran program calls these routines through the module
   (USE kavro), whose interfaces declare those numbers VALUE, so its arguments are plain
   INTEGERs and REALs; with an implicit interface it would pass addresses, which these
   routines do not take. */
#ifndef KAVRO_KAVRO_C_H
#define KAVRO_KAVRO_C_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void xqmesgc(const char* msg);
void xqwarnc(const char* caller, int jdate, int jtime, const char* msg);
void xqerrc(const char* caller, int jdate, int jtime, const char* msg, int fatal);

int envync(const char* name, const char* description, int defaultval, int* status);
int envintc(const char* name, const char* description, int defaultval, int* status);
float envrealc(const char* name, const char* description, float defaultval, int* status);
double envdblec(const char* name, const char* description, double defaultval, int* status);
void envstrc(const char* name, const char* description, const char* defaultval, char* buffer,
             int* status, int length);

void name2cstr(const char* fstr, char* cstr, int flen, int csize);
void fstr2cstr(const char* fstr, char* cstr, int flen, int csize);
void cstr2fstr(const char* cstr, char* fstr, int flen);

/* ---- Opening, describing and reading files ----------------------------------------------
   Names are NUL-terminated; every character before the NUL counts, trailing blanks included.
   Logical results are 1 (success) or 0. */

#ifndef __cplusplus
/* The codes a C caller passes (the C++ interface has them in namespace kavro), grouped by
   use. */
/* clang-format off */
enum {
  FSREAD3 = 1, FSRDWR3 = 2, FSNEW3 = 3, FSUNKN3 = 4, FSCREA3 = 5,
  ALLVAR3 = -1, ALLAYS3 = -1,
  XQINT = 4, XQREAL = 5, XQDBLE = 6,
  GRDDED3 = 1, NAMLEN3 = 16, MXDLEN3 = 80, MXDESC3 = 60, MXLEVS3 = 101, MXVARS3 = 2048
};
/* clang-format on */
#endif

/* The numbers of the file description record, as DESC3 last left them. */
struct kavro_bdesc3 {
  double P_ALP3D, P_BET3D, P_GAM3D;
  double XCENT3D, YCENT3D;
  double XORIG3D, YORIG3D;
  double XCELL3D, YCELL3D;
  int FTYPE3D;
  int CDATE3D, CTIME3D;
  int WDATE3D, WTIME3D;
  int SDATE3D, STIME3D;
  int TSTEP3D;
  int MXREC3D;
  int NVARS3D;
  int NCOLS3D, NROWS3D, NLAYS3D;
  int NTHIK3D;
  int GDTYP3D;
  int VGTYP3D;
  float VGTOP3D;
  float VGLVS3D[101];
  int VTYPE3D[2048];
};

/* Its texts: blank-padded fixed fields, not NUL-terminated (VNAME3D[v] is 16 characters). */
struct kavro_cdesc3 {
  char GDNAM3D[16];
  char UPNAM3D[16];
  char EXECN3D[80];
  char FDESC3D[60][80];
  char UPDSC3D[60][80];
  char VNAME3D[2048][16];
  char UNITS3D[2048][16];
  char VDESC3D[2048][80];
};

int init3c(void);
int open3c(const char* fname, int fstatus, const char* pname);
/* DESC3, then a copy of the record into whichever of bdesc and cdesc is not NULL. */
int desc3c(const char* fname, struct kavro_bdesc3* bdesc, struct kavro_cdesc3* cdesc);
/* The description record from whichever of bdesc and cdesc is not NULL: what open3c with
   FSNEW3, FSUNKN3 or FSCREA3 creates a file from. */
void setdesc3c(const struct kavro_bdesc3* bdesc, const struct kavro_cdesc3* cdesc);
/* READ3 into a buffer of nbytes bytes: a read that would not fit is refused with a warning. */
int read3c(const char* fname, const char* vname, int layer, int jdate, int jtime, void* buffer,
           size_t nbytes);
/* WRITE3 from a buffer of nbytes bytes laid out as READ3 of all layers fills it: every layer
   of one variable (or of every variable, "ALL") as the step of (jdate, jtime). A write that
   would read past the buffer is refused with a warning, the file unchanged. */
int write3c(const char* fname, const char* vname, int jdate, int jtime, const void* buffer,
            size_t nbytes);
int close3c(const char* fname);
int shut3c(void);
void xqexitc(const char* caller, int jdate, int jtime, const char* msg, int exitstat);

/* Why a file failed: after a routine returned 0, the last failure of a file the library
   reported, as the log gives it. Each text goes NUL-terminated into its buffer of the given
   size in bytes: the routine that reported it ("OPEN3"), the file's logical name, the path that
   name stands for, and a short cause ("no such file", "not a netCDF file"). Buffers of 33, 17,
   513 and 161 bytes hold any of them whole; a longer text is cut before a whole character
   (UTF-8). A NULL buffer or a size of 0 is skipped. Returns 1 when a failure is recorded, else
   0 with every buffer given an empty string. kavro_clear_file_failure forgets it, so a call
   made afterwards tells whether that call failed on a file. */
int kavro_last_file_failure(char* routine, size_t routine_size, char* lname, size_t lname_size,
                            char* path, size_t path_size, char* cause, size_t cause_size);
void kavro_clear_file_failure(void);

/* ---- Native binary files ------------------------------------------------------------------
   FID is the file's slot. Each routine returns 1 on success, 0 on failure (reported in the
   log). A variable index below 1 means every variable (0 for XTRBIN3), a layer below 1 every
   layer. Flags are (date, time) pairs, variable 1 first; data move as raw host memory. */
int INITBIN3(const char* version, int jdate, int jtime);
int CRTBIN3(const char* fname, int fid, const char* pgname);
int OPNBIN3(const char* fname, int fid, int access, const char* pgname);
int DSCBIN3(int fid);
int RDBFLAG(int fid, int vid, int step, int* flags);
int WRBFLAG(int fid, int vid, int step, const int* flags);
int RDBVARS(int fid, int vid, int layer, int step, void* buffer);
int WRBVARS(int fid, int vid, int step, const void* buffer);
int XTRBIN3(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1, int step,
            void* buffer);
int WRBPATCH(int fid, int vid, const int* origin, const int* size, int step, const void* buffer);
int FLUSHBIN3(int fid);
int CLOSEBIN3(int fid);

/* ---- Memory-resident buffers --------------------------------------------------------------
   One buffer per (slot, variable): one half (TSTEP 0) or two halves of SIZE values. Each
   routine returns non-zero on success, 0 on failure (reported in the log). */
int BUFCRE3(int fid, int nvars, int nlays, int size, const int* vtype, int tstep);
int BUFGET3(int fid, int vid, int layer, int nlays, int size, int half, float* buffer);
int BUFGET3I(int fid, int vid, int layer, int nlays, int size, int half, int* buffer);
int BUFGET3D(int fid, int vid, int layer, int nlays, int size, int half, double* buffer);
int BUFPUT3(int fid, int vid, int size, int half, int tstep, const float* buffer);
int BUFPUT3I(int fid, int vid, int size, int half, int tstep, const int* buffer);
int BUFPUT3D(int fid, int vid, int size, int half, int tstep, const double* buffer);
int BUFXTR3(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1, int nlays,
            int nrows, int ncols, int half, float* buffer);
int BUFXTR3I(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1,
             int nlays, int nrows, int ncols, int half, int* buffer);
int BUFXTR3D(int fid, int vid, int lay0, int lay1, int row0, int row1, int col0, int col1,
             int nlays, int nrows, int ncols, int half, double* buffer);
int BUFDDT3(int fid, int vid, int size, int half, int unused, float scale, float* buffer);
int BUFDDT3D(int fid, int vid, int size, int half, int unused, double scale, double* buffer);
int BUFVGT3(int fid, int vid, int doread, const int* start, const int* count, int size, int half,
            int tstep);
int BUFVGT3D(int fid, int vid, int doread, const int* start, const int* count, int size, int half,
             int tstep);
int BUFDEL3(int fid);
int BUFINT3(int fid, int vid, int size, int half, int tstep, float p, float q, float* buffer);
int BUFINT3D(int fid, int vid, int size, int half, int tstep, double p, double q, double* buffer);
/* DIMS = (NCOLS, NROWS); LO and HI = (column, row, layer), inclusive and 1-based. */
int BUFINTX(int fid, int vid, int size, int half, int tstep, const int* dims, const int* lo,
            const int* hi, float p, float q, float* buffer);
int BUFINTXD(int fid, int vid, int size, int half, int tstep, const int* dims, const int* lo,
             const int* hi, double p, double q, double* buffer);

#ifdef __cplusplus
}
#endif

#endif /* KAVRO_KAVRO_C_H */
