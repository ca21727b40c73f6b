// CKDESC3 and CHKFIL3: description checks for new files and for files opened "UNKNOWN". Not
// in this build yet.
#include "core/kinds.h"
#include "open/open.h"

namespace kavro {

bool CKDESC3(std::string_view) {
  detail::not_built("CKDESC3", "File-description checks are");
  return false;
}

bool CHKFIL3(int) {
  detail::not_built("CHKFIL3", "File-description checks are");
  return false;
}

}  // namespace kavro
