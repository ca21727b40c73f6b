// CKDESC3 and CHKFIL3: description checks for new files and for files opened "UNKNOWN". The
// checks themselves are not in this build yet: with header checks off a description is taken
// as it stands, with them on it is refused.
#include "core/kinds.h"
#include "core/state.h"
#include "kavro/settings.h"
#include "open/open.h"

namespace kavro {

bool CKDESC3(std::string_view) {
  Bstate3& b = state().b;
  if (!b.header_checks_read) {
    b.header_checks_read = true;
    int status = 0;
    b.header_checks = ENVYN("KAVRO_CHECK_HEADERS", "Perform file-header checks?", false, status);
  }
  if (!b.header_checks) return true;
  detail::not_built("CKDESC3", "File-description checks are");
  return false;
}

bool CHKFIL3(int) {
  detail::not_built("CHKFIL3", "File-description checks are");
  return false;
}

}  // namespace kavro
