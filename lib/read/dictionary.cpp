// RDDICT3: a dictionary file's entry into the description record. Not in this build yet.
#include "core/kinds.h"
#include "read/read.h"

namespace kavro {

bool RDDICT3(int, std::string_view) {
  detail::not_built("RDDICT3", "Dictionary files are");
  return false;
}

}  // namespace kavro
