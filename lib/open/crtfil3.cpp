// CRTFIL3: creating a file from the description record. Not in this build yet.
#include "core/kinds.h"
#include "open/open.h"

namespace kavro {

bool CRTFIL3(std::string_view, int, std::string_view) {
  detail::not_built("CRTFIL3", "File creation is");
  return false;
}

}  // namespace kavro
