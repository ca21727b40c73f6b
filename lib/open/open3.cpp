// OPEN3: a file by its logical name, in a slot of the kind its value names; OPNFIL3 and
// CRTFIL3 hand the slot to its kind's opener or creator.
#include <optional>
#include <string>

#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/slots.h"
#include "core/state.h"
#include "kavro/core.h"
#include "kavro/desc.h"
#include "kavro/open.h"
#include "kavro/params.h"
#include "kavro/settings.h"
#include "kavro/util.h"
#include "open/open.h"
#include "settings/settings_table.h"
#include "util/files.h"
#include "util/nameval.h"

namespace kavro {

namespace {

using detail::MsgBuf;

constexpr std::string_view kBadDescription = "bad file description in FDESC";

void warn(std::string_view text) { XQWARN("OPEN3", 0, 0, text); }

// A refusal of OPEN3 for LNAME, whose value is PATH: CAUSE is the failure's short cause.
bool refused(std::string_view lname, std::string_view path, std::string_view cause) {
  detail::note_file_failure("OPEN3", lname, path, cause);
  return false;
}

// The value of LNAME, for a refusal before a slot holds it.
Path512 value_of(std::string_view lname) {
  Path512 value;
  NAMEVAL(lname, value.span());
  return value;
}

// The path of the file a slot holds, for a refusal of a name that is open already.
std::string_view held_path(int f) { return state().c.paths(f).padded(); }

// The "File not available." report.
bool not_available(std::string_view lname, std::string_view path) {
  XQMSG2(MsgBuf<256>() << lname << ":" << trimmed(path));
  warn("File not available.");
  detail::note_file_failure("OPEN3", lname, path, detail::absence_cause(path));
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
      return refused(lname, held_path(f), "already open: cannot create it \"NEW\"");
    case FSUNKN3:
      if (readonly) {
        warn(MsgBuf<256>() << "File " << lname << " already opened READONLY; "
                           << "Cannot subsequently open it \"UNKNOWN\".");
        return refused(lname, held_path(f), "already open read-only: cannot open it \"UNKNOWN\"");
      }
      return CHKFIL3(f) || refused(lname, held_path(f), "file description does not match FDESC");
    case FSRDWR3:
      if (readonly) {
        warn(MsgBuf<256>() << "File " << lname << " already opened READONLY; "
                           << "cannot subsequently open it for READ/WRITE.");
        return refused(lname, held_path(f),
                       "already open read-only: cannot open it for READ/WRITE");
      }
      return true;
    case FSCREA3:
      if (!CKDESC3(lname)) {
        warn("Error:  bad file description in FDESC");
        return refused(lname, held_path(f), kBadDescription);
      }
      if (!CLOSE3(lname)) {
        warn(MsgBuf<256>() << "File " << lname << " already opened. "
                           << "Could not close to reopen with status FSCREA3");
        return refused(lname, held_path(f), "already open: could not close it to create it again");
      }
      warn(MsgBuf<256>() << "File " << lname << " already opened. "
                         << "Closing, deleting, and re-opening it");
      return std::nullopt;
    default:
      return true;
  }
}

// The opener or creator for the mode, whether the file exists, and its kind.
bool dispatch(std::string_view lname, int fstatus, int s, std::string_view path, bool exists,
              std::string_view pname) {
  const detail::FileKind& kind = detail::kind_of(s);
  switch (fstatus) {
    case FSREAD3:
      if (exists) return OPNFIL3(path, s, kReadOnlyAccess, pname);
      if (kind.open_absent != nullptr) return kind.open_absent(s, pname);
      return not_available(lname, path);
    case FSRDWR3:
      if (exists) return OPNFIL3(path, s, kReadWriteAccess, pname);
      return not_available(lname, path);
    case FSNEW3:
      // An existing file is never replaced in this mode.
      if (exists) {
        warn(MsgBuf<256>() << "File " << lname << " already exists; "
                           << "cannot create it \"NEW\".");
        return refused(lname, path, "already exists: cannot create it \"NEW\"");
      }
      return CRTFIL3(path, s, pname);
    case FSUNKN3:
      if (!exists) return CRTFIL3(path, s, pname);
      // OPNFIL3 closes whatever it opened when it fails.
      if (!OPNFIL3(path, s, kReadWriteAccess, pname)) return false;
      if (!CHKFIL3(s)) {
        (void)detail::give_back_slot(s, detail::GiveBack::kClose);
        return refused(lname, path, "file description does not match FDESC");
      }
      return true;
    case FSCREA3:
      if (exists) {
        const int e = RMFILE(path);
        if (e != 0) {
          warn((MsgBuf<256>() << "Error number ").format("%d", e)
               << " removing " << lname << " from pathname:");
          XQMSG2(path);
          return refused(lname, path, MsgBuf<80>().format("cannot be removed: error number %d", e));
        }
      }
      return CRTFIL3(path, s, pname);
    default:
      warn("File opening error:  illegal FSTATUS argument.");
      XQMSG2("Legal values: 1-READONLY, 2-READ/WRITE, 3-NEW, 4-UNKNOWN");
      XQMSG2((MsgBuf<80>() << "Value supplied by caller: ").format("%d", fstatus));
      return refused(lname, path, MsgBuf<80>().format("illegal FSTATUS %d", fstatus));
  }
}

// A blank and -v (or -V) mark a volatile file; the marker and all after it are
// dropped. True when the marker was there.
bool strip_volatile_marker(Path512& path) {
  const std::size_t lower = path.padded().find(" -v");
  const std::size_t upper = path.padded().find(" -V");
  std::size_t marker = std::string_view::npos;
  if (lower != std::string_view::npos) marker = lower;
  if (upper != std::string_view::npos && (marker == std::string_view::npos || upper > marker)) {
    marker = upper;
  }
  if (marker == std::string_view::npos) return false;
  path.assign(path.padded().substr(0, marker));
  return true;
}

// Once the slot is taken: the kind the value names, then the mode.
bool open_slot(std::string_view lname, int fstatus, int s, Path512& path, std::string_view pname) {
  const detail::FileKind& kind = detail::kind_for_value(path.padded());
  state().b.NCID3(s) = kind.code;
  switch (kind.admit(s, fstatus, lname, path.padded())) {
    case detail::Admission::kOpened:
      return true;
    case detail::Admission::kRefused:
      return false;
    case detail::Admission::kDispatch:
      break;
  }
  if (kind.strip_prefix) path.assign(path.padded().substr(kind.prefix.size()));
  const bool exists = kind.on_disk && detail::file_exists(path.padded());
  return dispatch(lname, fstatus, s, path.padded(), exists, pname);
}

// OPEN3 for a name that holds no slot.
bool open_new(std::string_view lname, int fstatus, std::string_view pname) {
  auto& b = state().b;
  const int s = detail::first_free_slot();
  if (s == 0) {
    warn(MsgBuf<256>() << "Could not open " << lname
                       << "Maximum number of files already have been opened.");
    return refused(lname, value_of(lname).padded(),
                   MsgBuf<80>().format("the file table is full (%d files open)", MXOPEN3));
  }
  Path512 path;
  NAMEVAL(lname, path.span());
  // A value cut to the field would name some other file.
  if (!detail::value_fits(lname, Path512::size())) {
    warn(MsgBuf<256>() << "Value of logical name " << trimmed(lname)
                       << " longer than 512 characters: not opened");
    detail::note_file_failure("OPEN3", lname, path.padded(),
                              "longer than 512 characters: not opened");
    return false;
  }
  b.VOLATILE3(s) = strip_volatile_marker(path);
  state().c.FLNAME3(s) = lname;
  state().c.paths(s) = path;
  b.READONLY3(s) = fstatus == FSREAD3;
  if (!open_slot(lname, fstatus, s, path, pname)) {
    (void)detail::give_back_slot(s, detail::GiveBack::kOpenerClosed);
    return false;
  }
  if (b.LASTFID3 < s) b.LASTFID3 = s;
  (void)OPNLOG3(s, path.padded(), fstatus);
  return true;
}

// OPEN3 itself; every refusal notes its cause, or the routine it called notes one.
bool open3(std::string_view lname, int fstatus, std::string_view pname) {
  const int f = NAME2FID(lname);
  if (f < 0) return refused(lname, "", "logical name longer than 16 characters");
  if (f > 0) {
    const std::optional<bool> done = already_open(lname, fstatus, f);
    if (done) return *done;
    return open_new(lname, fstatus, pname);
  }
  const bool creating = fstatus == FSNEW3 || fstatus == FSUNKN3 || fstatus == FSCREA3;
  if (creating && !CKDESC3(lname)) {
    warn("Error:   bad file description in FDESC");
    return refused(lname, value_of(lname).padded(), kBadDescription);
  }
  return open_new(lname, fstatus, pname);
}

}  // namespace

// A refusal whose cause no routine noted still has one: the last line the log was given.
bool OPEN3(std::string_view lname, int fstatus, std::string_view pname) {
  const unsigned noted = detail::file_failures_noted();
  if (open3(lname, fstatus, pname)) return true;
  if (detail::file_failures_noted() != noted) return false;
  const detail::NotedReason reason = detail::noted_reason();
  return refused(lname, value_of(lname).padded(), reason.line.empty() ? "not opened" : reason.line);
}

// The opener of the slot's kind: a netCDF file's header into the slot, a native binary
// file to its own opener.
bool OPNFIL3(std::string_view path, int fid, int access, std::string_view pname) {
  return detail::kind_of(fid).open(path, fid, access, pname);
}

// The creator of the slot's kind. KAVRO_OFFSET_64 is read here, at the run's first creation of
// any kind, so its log line comes at the same place whatever the file.
bool CRTFIL3(std::string_view path, int fid, std::string_view pname) {
  const bool large_offsets = detail::setting("KAVRO_OFFSET_64", "CRTFIL3");
  if (BDESC3.NVARS3D > MXVARS3) {
    XQABORT(state().c.FLNAME3(fid).padded(), state().b.NCID3(fid), detail::kStatusTooManyVars,
            "Max NVARS for this build exceeded");
    return false;
  }
  return detail::kind_of(fid).create(path, fid, pname, large_offsets);
}

}  // namespace kavro
