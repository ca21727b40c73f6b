// Initialisation, the log unit, the wall clock, and shutdown.
#include <netcdf.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/slots.h"
#include "core/state.h"
#include "core/units.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "kavro/settings.h"
#include "kavro/util.h"
#include "util/calendar.h"
#include "util/nameval.h"

namespace kavro {

namespace {

// The start-up notice: 17 lines of exactly 64 characters.
constexpr std::array<std::string_view, 17> kNotice = {
    "                                                                ",
    "This program uses the kavro library, which opens, describes,    ",
    "reads and writes the gridded data files of an atmospheric model ",
    "by logical name, keeps a log of its work and ends every run with",
    "a uniform report.                                               ",
    "                                                                ",
    "The kavro library is free software, distributed under the MIT   ",
    "licence: permission is granted, free of charge, to use, copy,   ",
    "modify, merge, publish, distribute, sublicense and sell copies  ",
    "of it, provided that its copyright and permission notice are    ",
    "included in all copies or substantial portions of it.           ",
    "                                                                ",
    "The library is provided \"as is\", without warranty of any kind,  ",
    "express or implied.                                             ",
    "                                                                ",
    "Library release tag: $JDate: 2010068 $                          ",
    "                                                                ",
};
constexpr bool notice_is_square() {
  for (std::string_view l : kNotice) {
    if (l.size() != 64) return false;
  }
  return true;
}
static_assert(notice_is_square(), "every notice line is exactly 64 characters");

// Handed to the native binary module, which keeps at most 15 characters of it.
constexpr std::string_view kBinaryVersion = "kavro 3.1";

// The wall clock as pinned by a test, if it is.
std::optional<std::int64_t> pinned_clock;

std::int64_t clock_seconds() {
  return pinned_clock ? *pinned_clock : static_cast<std::int64_t>(std::time(nullptr));
}

void write_notice(int unit) {
  for (std::string_view l : kNotice) detail::put_unit_line(unit, l, false);
}

void write_version_lines(int unit, bool with_mxvars) {
  detail::put_unit_line(unit, state().c.LIBVERS3.padded());
  if (with_mxvars) {
    detail::MsgBuf<80> m;
    m << "Version with PARMS3.EXT/PARAMETER::MXVARS3=" << detail::right_justified(MXVARS3, 5);
    detail::put_unit_line(unit, m);
  }
  detail::MsgBuf<80> version(nc_inq_libvers());
  detail::MsgBuf<96> line("netCDF version ");
  line << trimmed(version);
  detail::put_unit_line(unit, line);
  detail::put_unit_line(unit, "");
}

// INIT3: the banner in the log, and on standard output when the log goes elsewhere and
// KAVRO_BANNER lets it.
void write_banner() {
  auto& st = state();
  write_notice(st.b.LOGUNIT3);
  write_version_lines(st.b.LOGUNIT3, true);
  if (!st.b.LOGSTDOUT3 && library_setting_value("KAVRO_BANNER", "INIT3")) {
    write_notice(detail::kStdoutUnit);
    write_version_lines(detail::kStdoutUnit, false);
    detail::flush_unit(detail::kStdoutUnit);
  }
}

// The note a path longer than its 512-character field gets; VARIABLE names the setting.
detail::MsgBuf<80> too_long(std::string_view variable) {
  return detail::MsgBuf<80>("Value of ") << variable << " longer than 512 characters";
}

void scenario_warning(std::string_view what, int status, const Path512& path,
                      std::string_view note = {}) {
  const detail::WarningLines warning;
  detail::put_log_line("");
  detail::put_log_line("");
  detail::put_log_line(">>> WARNING in subroutine INIT3 <<<");
  detail::MsgBuf<80> m;
  m << what << detail::right_justified(status, 3);
  detail::put_log_line(m);
  if (!note.empty()) detail::put_log_line(note);
  // The path at its full 512 characters, trailing blanks included.
  detail::MsgBuf<520> f("File: ");
  f << path.padded();
  detail::put_log_line_untrimmed(f);
  detail::put_log_line("");
  detail::put_log_line("");
}

// INIT3: up to 60 lines of the scenario file.
void read_scenario() {
  auto& st = state();
  Path512 path;
  NAMEVAL("SCENFILE", path.span());
  for (Line80& l : st.c.SCENDESC3) l.blank();
  const std::string name(path.trimmed());
  struct stat sb {};
  if (::stat(name.c_str(), &sb) != 0) return;
  // A value cut to the field would name some other file.
  if (!detail::value_fits("SCENFILE", Path512::size())) {
    scenario_warning("Error opening scenario file.  Error number", ENAMETOOLONG, path,
                     too_long("SCENFILE"));
    return;
  }
  const int unit = JUNIT();
  const int ostat = detail::open_unit(unit, name, detail::UnitOpen::kRead);
  if (ostat != 0) {
    scenario_warning("Error opening scenario file.  Error number", ostat, path);
  } else {
    for (Line80& l : st.c.SCENDESC3) {
      const int rstat = detail::read_line(unit, l.span());
      if (rstat < 0) break;
      if (rstat > 0) {
        l.blank();
        scenario_warning("Error reading scenario file.  Error number", rstat, path);
        break;
      }
    }
  }
  detail::close_unit(unit);
}

// INIT3: the run's execution id, or the note that it is missing.
void read_execution_id() {
  auto& st = state();
  NAMEVAL("EXECUTION_ID", st.c.EXECID3.span());
  if (st.c.EXECID3.trimmed() == "EXECUTION_ID") {
    st.c.EXECID3 = kFreeSlotName;
    detail::put_log_line("Missing environment variable EXECUTION_ID");
  } else {
    detail::MsgBuf<96> m("EXECUTION_ID: ");
    m << st.c.EXECID3.trimmed();
    detail::put_log_line(m);
  }
}

// Why the log could not be opened, in a few words: the open's status is an errno value.
std::string_view log_open_cause(int status) {
  switch (status) {
    case EEXIST:
      return "exists already; LOGFILE must name a file that does not exist yet (or /dev/null)";
    case ENOENT:
      return "no such folder";
    case ENOTDIR:
      return "a folder on the path is not a folder";
    case EACCES:
    case EPERM:
      return "permission denied";
    case ENAMETOOLONG:
      return "name too long";
    default:
      return std::strerror(status);
  }
}

// INITLOG3: the block on standard output, one line on standard error for the person at the
// terminal (whose standard output may go to a file), then the end of the run.
[[noreturn]] void log_open_failure(std::string_view caller, int unit, int status,
                                   const Path512& path, std::string_view note = {}) {
  const int out = detail::kStdoutUnit;
  detail::put_unit_line(out, "");
  detail::MsgBuf<160> head("***  ERROR in ");
  head << trimmed(caller) << "/INITLOG3"
       << "  ***";
  detail::put_unit_line(out, head);
  detail::MsgBuf<80> m("Error opening log file on unit");
  m << detail::right_justified(unit, 10);
  detail::put_unit_line(out, m);
  m.clear();
  m << "I/O STATUS =" << detail::right_justified(status, 10);
  detail::put_unit_line(out, m);
  if (!note.empty()) detail::put_unit_line(out, note);
  detail::MsgBuf<520> f("File: ");
  f << path.trimmed();
  detail::put_unit_line(out, f);
  detail::put_unit_line(out, "");
  (void)detail::flush_unit(out);
  std::fprintf(stderr, "kavro: INITLOG3: log file \"%s\": %.*s\n",
               std::string(path.trimmed()).c_str(), static_cast<int>(log_open_cause(status).size()),
               log_open_cause(status).data());
  std::exit(kExitFailure);
}

// SHUT3's warning block for the file NAME of KIND whose close failed with STATUS.
void shut3_warning(const detail::FileKind& kind, const Name16& name, int status) {
  const detail::WarningLines warning;
  detail::put_log_line("");
  detail::put_log_line("");
  detail::put_log_line(">>> WARNING in subroutine SHUT3 <<<");
  detail::put_log_line(detail::MsgBuf<80>("Error closing ") << kind.close_name << " file ");
  detail::put_log_line(detail::MsgBuf<80>("File name:  ") << name.padded());
  if (kind.close_reports_status) {
    detail::put_log_line(detail::error_number_line(status));
    detail::put_log_line("");
    detail::put_log_line("");
  }
  detail::flush_log();
}

// "<text>" + FNAME at its full length between double quotes, in an 80-character line.
detail::MsgBuf<80> quoted(std::string_view text, std::string_view fname,
                          std::string_view tail = "") {
  detail::MsgBuf<80> m(text);
  m << '"' << fname << '"' << tail;
  return m;
}

}  // namespace

int INITLOG3(std::string_view caller) {
  auto& st = state();
  // Before the first file of the library is opened (the log is).
  detail::guard_standard_descriptors();
  if (st.b.LOGUNIT3 >= 0) return st.b.LOGUNIT3;
  Path512 path;
  NAMEVAL("LOGFILE", path.span());
  if (path.trimmed() == "LOGFILE" && !detail::log_sink_set()) {
    st.b.LOGSTDOUT3 = true;
    st.b.LOGUNIT3 = detail::kStdoutUnit;
    return st.b.LOGUNIT3;
  }
  st.b.LOGSTDOUT3 = false;
  const int unit = JUNIT();
  if (path.trimmed() == "LOGFILE") {
    // LOGFILE unset, and the program keeps the log itself.
    if (const int status = detail::open_log_sink(unit); status != 0) {
      log_open_failure(caller, unit, status, path);
    }
    st.b.LOGUNIT3 = unit;
    return unit;
  }
  // A value cut to the field would put the log at some other path.
  if (!detail::value_fits("LOGFILE", Path512::size())) {
    log_open_failure(caller, unit, ENAMETOOLONG, path, too_long("LOGFILE"));
  }
  const bool devnull = path.trimmed() == "/dev/null";
  const int status = detail::open_unit(
      unit, path.trimmed(), devnull ? detail::UnitOpen::kExisting : detail::UnitOpen::kNew);
  if (status != 0) log_open_failure(caller, unit, status, path);
  st.b.LOGUNIT3 = unit;
  return unit;
}

int JUNIT() {
  for (int u = detail::kLastFileUnit; u >= detail::kFirstFileUnit; --u) {
    if (!detail::unit_open(u)) return u;
  }
  const int out = detail::kStdoutUnit;
  for (int i = 0; i < 3; ++i) detail::write_line(out, "");
  detail::write_line(out, " *** ERROR ABORT IN ROUTINE JUNIT ***");
  detail::write_line(out, "     NO MORE UNIT NUMBERS AVAILABLE FOR I/O");
  detail::MsgBuf<80> m("     First POSIX-approved unit:");
  m << detail::right_justified(detail::kFirstFileUnit, 4);
  detail::write_line(out, m);
  m.clear();
  m << "     Last  POSIX-approved unit:" << detail::right_justified(detail::kLastFileUnit, 4);
  detail::write_line(out, m);
  for (int i = 0; i < 2; ++i) detail::write_line(out, "");
  std::exit(kExitFailure);
}

int GETDTTIME(int& jdate, int& jtime) {
  const std::int64_t secs = clock_seconds();
  if (secs == 0) {
    // A clock that reads 0 cannot stamp the run; say why the run stops.
    std::fputs("kavro: GETDTTIME: the system clock reads 0\n", stderr);
    std::exit(kExitFailure);
  }
  detail::epoch_date_time(secs, jdate, jtime);
  return jdate;
}

int detail::start_library() {
  auto& st = state();
  if (st.b.INITDONE3) return st.b.LOGUNIT3;
  st.b.LOGUNIT3 = INITLOG3("INIT3");
  // The version-2 calls would stop the process on an error in their default fatal mode;
  // the library reports every netCDF failure itself.
  ncopts = NC_VERBOSE;
  st.c.LIBVERS3 = kLibraryVersion;
  write_banner();
  detail::put_log_line("");
  read_scenario();
  read_execution_id();
  detail::reset_tables();
  GETDTTIME(st.b.RUNDATE3, st.b.RUNTIME3);
  detail::init_all(kBinaryVersion, st.b.RUNDATE3, st.b.RUNTIME3);
  if (st.b.LASTFID3 < 0) {
    detail::put_log_line("");
    detail::put_log_line("INIT3() called subsequent to SHUT3()");
    detail::put_log_line("");
  }
  XQFLUSH(st.b.LOGUNIT3);
  st.b.INITDONE3 = true;
  st.b.LASTFID3 = 0;
  return st.b.LOGUNIT3;
}

bool SHUT3() {
  auto& st = state();
  if (!st.b.INITDONE3) return true;
  bool ok = true;
  for (int fid = 1; fid <= st.b.LASTFID3 && fid <= MXOPEN3; ++fid) {
    const detail::GiveBack how =
        detail::slot_free(fid) ? detail::GiveBack::kOpenerClosed : detail::GiveBack::kClose;
    const detail::FileKind& kind = detail::kind_of(fid);
    // The slot is free again once given back; the warning names the file it held.
    const Name16 name = st.c.FLNAME3(fid);
    const int status = detail::give_back_slot(fid, how);
    if (status != 0) {
      shut3_warning(kind, name, status);
      ok = false;
    }
  }
  st.b.LASTFID3 = IMISSING3;
  st.b.LISTUSED3 = 0;
  st.b.INITDONE3 = false;
  return ok;
}

bool CLOSE3(std::string_view fname) {
  const int fid = NAME2FID(fname);
  if (fid <= 0) {
    XQMSG2(quoted("File ", fname, " not currently open"));
    return false;
  }
  const detail::FileKind& kind = detail::kind_of(fid);
  const int status = detail::give_back_slot(fid, detail::GiveBack::kCloseOrKeep);
  if (status != 0) {
    const auto line =
        quoted(detail::MsgBuf<80>("Error closing ") << kind.close_name << " file ", fname);
    XQMSG2(line);
    if (kind.close_reports_status) {
      const detail::WarningLines warning;
      detail::put_log_line("");
      detail::put_log_line("");
      detail::put_log_line(">>> WARNING in subroutine CLOSE3 <<<");
      detail::put_log_line(detail::error_number_line(status));
      detail::put_log_line(line);
      detail::put_log_line("");
      detail::put_log_line("");
      detail::flush_log();
    }
    return false;
  }
  XQMSG2(detail::MsgBuf<80>("Closing file ") << fname);
  return true;
}

bool standard_output_lost() noexcept { return detail::standard_descriptor_was_closed(1); }

// The state tables get their initial values when they are first reached.
void INITBLK3() {}

namespace test_hooks {
void pin_clock(std::int64_t seconds) { pinned_clock = seconds; }
void unpin_clock() { pinned_clock.reset(); }
}  // namespace test_hooks

void start_netcdf() noexcept { static_cast<void>(nc_initialize()); }

}  // namespace kavro
