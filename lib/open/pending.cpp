#include "open/pending.h"

#include "kavro/kavro.h"

namespace kavro {

bool OPNLIST3(int, std::string_view) {
  XQWARN("OPNLIST3", 0, 0, "File lists are not supported in this build");
  return false;
}

int OPNBIN3(std::string_view, int, int, std::string_view) {
  XQWARN("OPNBIN3", 0, 0, "Native binary files are not supported in this build");
  return 0;
}

int DSCBIN3(int) {
  XQWARN("DSCBIN3", 0, 0, "Native binary files are not supported in this build");
  return 0;
}

int FLUSHBIN3(int) {
  XQWARN("FLUSHBIN3", 0, 0, "Native binary files are not supported in this build");
  return 0;
}

bool CRTBUF3(int) {
  XQWARN("CRTBUF3", 0, 0, "Memory-resident files are not supported in this build");
  return false;
}

bool CRTFIL3(std::string_view, int, std::string_view) {
  XQWARN("CRTFIL3", 0, 0, "File creation is not supported in this build");
  return false;
}

bool CKDESC3(std::string_view) {
  XQWARN("CKDESC3", 0, 0, "File-description checks are not supported in this build");
  return false;
}

bool CHKFIL3(int) {
  XQWARN("CHKFIL3", 0, 0, "File-description checks are not supported in this build");
  return false;
}

}  // namespace kavro
