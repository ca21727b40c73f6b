#include "open/virtual_kind.h"

#include "core/log.h"
#include "core/msgbuf.h"
#include "kavro/core.h"
#include "kavro/params.h"

namespace kavro::detail {

namespace {

Admission admit(int, int, std::string_view lname, std::string_view path) {
  XQWARN("OPEN3", 0, 0, "VIRTUAL files not implemented in this KAVRO version");
  note_file_failure("OPEN3", lname, path, "VIRTUAL files are not implemented");
  return Admission::kRefused;
}

void report(int, std::string_view access) {
  put_log_line_untrimmed(MsgBuf<80>() << "VIRTUAL \"file\" opened as " << access);
}

}  // namespace

const FileKind kVirtualKind = {
    .code = VIRTFIL3,
    .prefix = "VIRTUAL ",
    .admit = admit,
    .report = report,
};

}  // namespace kavro::detail
