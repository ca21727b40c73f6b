/* The kavro library's C interface: message bridges, setting readers and the
   conversions between fixed-length and NUL-terminated strings. C89-clean. */
#ifndef KAVRO_KAVRO_C_H
#define KAVRO_KAVRO_C_H

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

#ifdef __cplusplus
}
#endif

#endif /* KAVRO_KAVRO_C_H */
