/* The kavro library's C interface: message bridges, setting readers, the conversions between
   fixed-length and NUL-terminated strings, and opening, describing and reading files.
   C89-clean. */
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
/* The codes a C caller passes (the C++ interface has them in namespace kavro). */
enum {
  FSREAD3 = 1, FSRDWR3 = 2, FSNEW3 = 3, FSUNKN3 = 4, FSCREA3 = 5,
  ALLVAR3 = -1, ALLAYS3 = -1,
  XQINT = 4, XQREAL = 5, XQDBLE = 6,
  GRDDED3 = 1, NAMLEN3 = 16, MXDLEN3 = 80, MXDESC3 = 60, MXLEVS3 = 101, MXVARS3 = 2048
};
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
/* READ3 into a buffer of nbytes bytes: a read that would not fit is refused with a warning. */
int read3c(const char* fname, const char* vname, int layer, int jdate, int jtime, void* buffer,
           size_t nbytes);
int close3c(const char* fname);
int shut3c(void);
void xqexitc(const char* caller, int jdate, int jtime, const char* msg, int exitstat);

#ifdef __cplusplus
}
#endif

#endif /* KAVRO_KAVRO_C_H */
