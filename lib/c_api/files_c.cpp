// The C callers' way to open, describe, read and write files: each routine is its C++ namesake with
// NUL-terminated names and 1/0 for true/false.
#include <cstddef>
#include <span>
#include <string_view>

#include "c_api/description_copy.h"
#include "c_api/text_out.h"
#include "core/state.h"
#include "kavro/kavro.h"
#include "kavro/kavro_c.h"

namespace {
std::string_view text(const char* s) noexcept { return s == nullptr ? std::string_view() : s; }

std::span<char> buffer(char* s, std::size_t size) noexcept {
  return s == nullptr ? std::span<char>() : std::span<char>(s, size);
}
// kavro_c.h and the Fortran module promise that buffers of 33, 17, 513 and 161 bytes (fields
// of 32, 16, 512 and 160 characters) hold the failure's texts whole.
using Failure = kavro::Cstate3;
static_assert(decltype(Failure::failure_routine)::size() == 32 &&
              decltype(Failure::failure_lname)::size() == 16 &&
              decltype(Failure::failure_path)::size() == 512 &&
              decltype(Failure::failure_cause)::size() == 160);
}  // namespace

extern "C" {

int init3c(void) { return kavro::INIT3(); }

int open3c(const char* fname, int fstatus, const char* pname) {
  return kavro::OPEN3(text(fname), fstatus, text(pname)) ? 1 : 0;
}

int desc3c(const char* fname, struct kavro_bdesc3* bdesc, struct kavro_cdesc3* cdesc) {
  if (!kavro::DESC3(text(fname))) return 0;
  if (bdesc != nullptr) kavro::detail::copy_description(*bdesc);
  if (cdesc != nullptr) {
    kavro::detail::copy_description(kavro::detail::DescriptionText{
        cdesc->GDNAM3D, cdesc->UPNAM3D, cdesc->EXECN3D, cdesc->FDESC3D[0], cdesc->UPDSC3D[0],
        cdesc->VNAME3D[0], cdesc->UNITS3D[0], cdesc->VDESC3D[0]});
  }
  return 1;
}

void setdesc3c(const struct kavro_bdesc3* bdesc, const struct kavro_cdesc3* cdesc) {
  if (bdesc != nullptr) kavro::detail::fill_description(*bdesc);
  if (cdesc != nullptr) {
    kavro::detail::fill_description(kavro::detail::ConstDescriptionText{
        cdesc->GDNAM3D, cdesc->UPNAM3D, cdesc->EXECN3D, cdesc->FDESC3D[0], cdesc->UPDSC3D[0],
        cdesc->VNAME3D[0], cdesc->UNITS3D[0], cdesc->VDESC3D[0]});
  }
}

int read3c(const char* fname, const char* vname, int layer, int jdate, int jtime, void* buffer,
           size_t nbytes) {
  return kavro::READ3(text(fname), text(vname), layer, jdate, jtime, buffer, nbytes) ? 1 : 0;
}

int write3c(const char* fname, const char* vname, int jdate, int jtime, const void* buffer,
            size_t nbytes) {
  return kavro::WRITE3(text(fname), text(vname), jdate, jtime, buffer, nbytes) ? 1 : 0;
}

int close3c(const char* fname) { return kavro::CLOSE3(text(fname)) ? 1 : 0; }

int shut3c(void) { return kavro::SHUT3() ? 1 : 0; }

void xqexitc(const char* caller, int jdate, int jtime, const char* msg, int exitstat) {
  kavro::XQEXIT(text(caller), jdate, jtime, text(msg), exitstat);
}

int kavro_last_file_failure(char* routine, size_t routine_size, char* lname, size_t lname_size,
                            char* path, size_t path_size, char* cause, size_t cause_size) {
  // With nothing recorded every field is empty: the buffers get empty strings.
  const kavro::FileFailure f = kavro::last_file_failure();
  kavro::detail::put_c_text(f.routine, buffer(routine, routine_size));
  kavro::detail::put_c_text(f.lname, buffer(lname, lname_size));
  kavro::detail::put_c_text(f.path, buffer(path, path_size));
  kavro::detail::put_c_text(f.cause, buffer(cause, cause_size));
  return f.noted ? 1 : 0;
}

void kavro_clear_file_failure(void) { kavro::clear_file_failure(); }

}  // extern "C"
