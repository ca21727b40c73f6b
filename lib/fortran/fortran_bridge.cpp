// What the Fortran module (kavro.f90) calls through ISO_C_BINDING. A Fortran text argument
// arrives as its characters and its declared length, which is exactly the view the C++
// routines take, trailing blanks included; output texts are Fortran fields, blank-filled.
// Logical results are 1 (true) or 0.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "c_api/description_copy.h"
#include "c_api/text_out.h"
#include "kavro/kavro.h"

namespace {

std::string_view text(const char* s, int len) noexcept {
  return s == nullptr || len <= 0 ? std::string_view() : std::string_view(s, std::size_t(len));
}

std::span<char> field(char* s, int len) noexcept {
  return s == nullptr || len <= 0 ? std::span<char>() : std::span<char>(s, std::size_t(len));
}

int logical(bool b) noexcept { return b ? 1 : 0; }

}  // namespace

extern "C" {

int kavro_f_init3() { return kavro::INIT3(); }

int kavro_f_open3(const char* fname, int flen, int fstatus, const char* pname, int plen) {
  return logical(kavro::OPEN3(text(fname, flen), fstatus, text(pname, plen)));
}

int kavro_f_desc3(const char* fname, int flen, kavro_bdesc3* bdesc, char* gdnam, char* upnam,
                  char* execn, char* fdesc, char* updsc, char* vname, char* units, char* vdesc) {
  if (!kavro::DESC3(text(fname, flen))) return 0;
  kavro::detail::copy_description(*bdesc);
  kavro::detail::copy_description(
      kavro::detail::DescriptionText{gdnam, upnam, execn, fdesc, updsc, vname, units, vdesc});
  return 1;
}

int kavro_f_read3(const char* fname, int flen, const char* vname, int vlen, int layer, int jdate,
                  int jtime, void* buffer, std::int64_t nbytes) {
  return logical(kavro::READ3(text(fname, flen), text(vname, vlen), layer, jdate, jtime, buffer,
                              nbytes < 0 ? 0 : std::size_t(nbytes)));
}

void kavro_f_setdesc(const kavro_bdesc3* bdesc, const char* gdnam, const char* upnam,
                     const char* execn, const char* fdesc, const char* updsc, const char* vname,
                     const char* units, const char* vdesc) {
  kavro::detail::fill_description(*bdesc);
  kavro::detail::fill_description(
      kavro::detail::ConstDescriptionText{gdnam, upnam, execn, fdesc, updsc, vname, units, vdesc});
}

int kavro_f_write3(const char* fname, int flen, const char* vname, int vlen, int jdate, int jtime,
                   const void* buffer, std::int64_t nbytes) {
  return logical(kavro::WRITE3(text(fname, flen), text(vname, vlen), jdate, jtime, buffer,
                               nbytes < 0 ? 0 : std::size_t(nbytes)));
}

int kavro_f_close3(const char* fname, int flen) {
  return logical(kavro::CLOSE3(text(fname, flen)));
}

int kavro_f_shut3() { return logical(kavro::SHUT3()); }

void kavro_f_xqexit(const char* caller, int clen, int jdate, int jtime, const char* msg, int mlen,
                    int exitstat) {
  kavro::XQEXIT(text(caller, clen), jdate, jtime, text(msg, mlen), exitstat);
}

int kavro_f_last_file_failure(char* routine, int rlen, char* lname, int llen, char* path, int plen,
                              char* cause, int clen) {
  const kavro::FileFailure f = kavro::last_file_failure();
  kavro::detail::put_field_text(f.routine, field(routine, rlen));
  kavro::detail::put_field_text(f.lname, field(lname, llen));
  kavro::detail::put_field_text(f.path, field(path, plen));
  kavro::detail::put_field_text(f.cause, field(cause, clen));
  return logical(f.noted);
}

void kavro_f_clear_file_failure() { kavro::clear_file_failure(); }

void kavro_f_xqmesg(const char* msg, int mlen) { kavro::XQMESG(text(msg, mlen)); }

void kavro_f_xqmsg2(const char* msg, int mlen) { kavro::XQMSG2(text(msg, mlen)); }

void kavro_f_xqwarn(const char* caller, int clen, int jdate, int jtime, const char* msg, int mlen) {
  kavro::XQWARN(text(caller, clen), jdate, jtime, text(msg, mlen));
}

void kavro_f_xqerr(const char* caller, int clen, int jdate, int jtime, const char* msg, int mlen,
                   int fatal) {
  kavro::XQERR(text(caller, clen), jdate, jtime, text(msg, mlen), fatal != 0);
}

void kavro_f_nextime(int* jdate, int* jtime, int tstep) { kavro::NEXTIME(*jdate, *jtime, tstep); }

int kavro_f_secsdiff(int adate, int atime, int zdate, int ztime) {
  return kavro::SECSDIFF(adate, atime, zdate, ztime);
}

int kavro_f_currec(int jdate, int jtime, int sdate, int stime, int tstep, int* cdate, int* ctime) {
  return kavro::CURREC(jdate, jtime, sdate, stime, tstep, *cdate, *ctime);
}

int kavro_f_envyn(const char* lname, int llen, const char* desc, int dlen, int defaultval,
                  int* stat) {
  return logical(kavro::ENVYN(text(lname, llen), text(desc, dlen), defaultval != 0, *stat));
}

int kavro_f_envint(const char* lname, int llen, const char* desc, int dlen, int defaultval,
                   int* stat) {
  return kavro::ENVINT(text(lname, llen), text(desc, dlen), defaultval, *stat);
}

float kavro_f_envreal(const char* lname, int llen, const char* desc, int dlen, float defaultval,
                      int* stat) {
  return kavro::ENVREAL(text(lname, llen), text(desc, dlen), defaultval, *stat);
}

double kavro_f_envdble(const char* lname, int llen, const char* desc, int dlen, double defaultval,
                       int* stat) {
  return kavro::ENVDBLE(text(lname, llen), text(desc, dlen), defaultval, *stat);
}

void kavro_f_envstr(const char* lname, int llen, const char* desc, int dlen, const char* defaultval,
                    int deflen, char* eqname, int eqlen, int* stat) {
  kavro::ENVSTR(text(lname, llen), text(desc, dlen), text(defaultval, deflen), field(eqname, eqlen),
                *stat);
}

}  // extern "C"
