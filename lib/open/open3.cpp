// OPEN3 and NAME2FID: a file by its logical name, and the slot that holds it.
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/state.h"
#include "kavro/kavro.h"
#include "open/open.h"
#include "open/pending.h"

namespace kavro {

namespace {

using detail::MsgBuf;

void warn(std::string_view text) { XQWARN("OPEN3", 0, 0, text); }

// What the value of a logical name designates.
enum class Kind { kNetcdf, kBuffered, kVirtual, kBinary, kList };

Kind classify(std::string_view path) {
  FixedString<8> head(path.substr(0, 8));
  UPCASE(head.span());
  const std::string_view h = head.padded();
  if (h.substr(0, 8) == "BUFFERED") return Kind::kBuffered;
  if (h.substr(0, 8) == "VIRTUAL ") return Kind::kVirtual;
  if (h.substr(0, 4) == "BIN:") return Kind::kBinary;
  if (h.substr(0, 5) == "LIST:") return Kind::kList;
  return Kind::kNetcdf;
}

bool file_exists(std::string_view path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(std::string(trimmed(path))), ec);
}

// The "File not available." report.
bool not_available(std::string_view lname, std::string_view path) {
  XQMSG2(MsgBuf<256>() << lname << ":" << trimmed(path));
  warn("File not available.");
  return false;
}

// OPEN3 for a name that already holds slot F. Returns true or false as the result, or
// nothing when a "create" request closed the file and the open goes on as for a new name.
std::optional<bool> already_open(std::string_view lname, int fstatus, int f) {
  const bool readonly = state().b.READONLY3(f);
  switch (fstatus) {
    case FSNEW3:
      warn(MsgBuf<256>() << "File " << lname << " already opened; "
                         << "cannot subsequently create it \"NEW\".");
      return false;
    case FSUNKN3:
      if (readonly) {
        warn(MsgBuf<256>() << "File " << lname << " already opened READONLY; "
                           << "Cannot subsequently open it \"UNKNOWN\".");
        return false;
      }
      return CHKFIL3(f);
    case FSRDWR3:
      if (readonly) {
        warn(MsgBuf<256>() << "File " << lname << " already opened READONLY; "
                           << "cannot subsequently open it for READ/WRITE.");
        return false;
      }
      return true;
    case FSCREA3:
      if (!CKDESC3(lname)) {
        warn("Error:  bad file description in FDESC");
        return false;
      }
      if (!CLOSE3(lname)) {
        warn(MsgBuf<256>() << "File " << lname << " already opened. "
                           << "Could not close to reopen with status FSCREA3");
        return false;
      }
      warn(MsgBuf<256>() << "File " << lname << " already opened. "
                         << "Closing, deleting, and re-opening it");
      return std::nullopt;
    default:
      return true;
  }
}

// Step 7: the opener or creator for the mode, whether the file exists, and its kind.
bool dispatch(std::string_view lname, int fstatus, int s, std::string_view path, bool exists,
              bool islist, std::string_view pname) {
  switch (fstatus) {
    case FSREAD3:
      if (exists) return OPNFIL3(path, s, kReadOnlyAccess, pname);
      if (islist) return OPNLIST3(s, pname);
      return not_available(lname, path);
    case FSRDWR3:
      if (exists) return OPNFIL3(path, s, kReadWriteAccess, pname);
      return not_available(lname, path);
    case FSNEW3:
      if (exists) return false;
      return CRTFIL3(path, s, pname);
    case FSUNKN3:
      if (!exists) return CRTFIL3(path, s, pname);
      // OPNFIL3 closes whatever it opened when it fails.
      if (!OPNFIL3(path, s, kReadWriteAccess, pname)) return false;
      if (!CHKFIL3(s)) {
        detail::close_netcdf(s);
        return false;
      }
      return true;
    case FSCREA3:
      if (exists) {
        const int e = RMFILE(path);
        if (e != 0) {
          warn((MsgBuf<256>() << "Error number ").format("%d", e)
               << " removing " << lname << " from pathname:");
          XQMSG2(path);
          return false;
        }
      }
      return CRTFIL3(path, s, pname);
    default:
      warn("File opening error:  illegal FSTATUS argument.");
      XQMSG2("Legal values: 1-READONLY, 2-READ/WRITE, 3-NEW, 4-UNKNOWN");
      XQMSG2((MsgBuf<80>() << "Value supplied by caller: ").format("%d", fstatus));
      return false;
  }
}

int first_free_slot() {
  for (int s = 1; s <= MXOPEN3; ++s) {
    if (detail::slot_free(s)) return s;
  }
  return 0;
}

bool succeed(int s, std::string_view path, int fstatus) {
  auto& b = state().b;
  if (b.LASTFID3 < s) b.LASTFID3 = s;
  (void)OPNLOG3(s, path, fstatus);
  return true;
}

// Steps 2 to 9 for a name that holds no slot.
bool open_new(std::string_view lname, int fstatus, std::string_view pname) {
  auto& b = state().b;
  const int s = first_free_slot();
  if (s == 0) {
    warn(MsgBuf<256>() << "Could not open " << lname
                       << "Maximum number of files already have been opened.");
    return false;
  }
  Path512 path;
  NAMEVAL(lname, path.span());
  // A blank and -v (or -V) mark a volatile file; the marker and all after it are dropped.
  const std::size_t lower = path.padded().find(" -v");
  const std::size_t upper = path.padded().find(" -V");
  std::size_t marker = std::string_view::npos;
  if (lower != std::string_view::npos) marker = lower;
  if (upper != std::string_view::npos && (marker == std::string_view::npos || upper > marker)) {
    marker = upper;
  }
  b.VOLATILE3(s) = marker != std::string_view::npos;
  if (b.VOLATILE3(s)) path.assign(path.padded().substr(0, marker));

  state().c.FLNAME3(s) = lname;
  b.NCID3(s) = 0;
  b.READONLY3(s) = fstatus == FSREAD3;

  bool exists = false;
  bool islist = false;
  switch (classify(path.padded())) {
    case Kind::kBuffered:
      if (CRTBUF3(s)) return succeed(s, path.padded(), fstatus);
      detail::free_slot(s);
      return false;
    case Kind::kVirtual:
      warn("VIRTUAL files not implemented in this KAVRO version");
      detail::free_slot(s);
      return false;
    case Kind::kBinary:
      b.NCID3(s) = BINFIL3;
      path.assign(path.padded().substr(4));
      exists = file_exists(path.padded());
      break;
    case Kind::kList:
      if (fstatus != FSREAD3) {
        XQMSG2(MsgBuf<256>() << lname << ":" << path.trimmed());
        warn("LIST-File not readonly.");
        detail::free_slot(s);
        return false;
      }
      b.NCID3(s) = LISTFIL3;
      islist = true;
      break;
    case Kind::kNetcdf:
      exists = file_exists(path.padded());
      break;
  }
  if (dispatch(lname, fstatus, s, path.padded(), exists, islist, pname)) {
    return succeed(s, path.padded(), fstatus);
  }
  detail::free_slot(s);
  return false;
}

}  // namespace

int NAME2FID(std::string_view lname) {
  if (!detail::ensure_initialised()) {
    XQMSG2("KAVRO not yet initialized");
    return 0;
  }
  const auto& b = state().b;
  const std::string_view name = trimmed(lname);
  if (name.size() > static_cast<std::size_t>(NAMLEN3)) {
    XQMSG2((MsgBuf<80>() << "Bad file name length for \"" << name << "\":  max length ")
               .format("%d actual %zu", NAMLEN3, name.size()));
    return -1;
  }
  const auto& c = state().c;
  for (int f = 1; f <= b.LASTFID3 && f <= MXOPEN3; ++f) {
    if (padded_equal(c.FLNAME3(f).padded(), name)) return f;
  }
  return 0;
}

bool OPEN3(std::string_view lname, int fstatus, std::string_view pname) {
  const int f = NAME2FID(lname);
  if (f < 0) return false;
  if (f > 0) {
    const std::optional<bool> done = already_open(lname, fstatus, f);
    if (done) return *done;
    return open_new(lname, fstatus, pname);
  }
  const bool creating = fstatus == FSNEW3 || fstatus == FSUNKN3 || fstatus == FSCREA3;
  if (creating && !CKDESC3(lname)) {
    warn("Error:   bad file description in FDESC");
    return false;
  }
  return open_new(lname, fstatus, pname);
}

}  // namespace kavro
