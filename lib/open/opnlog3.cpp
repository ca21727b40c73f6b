// OPNLOG3: the report on a file just opened, written straight to the log unit line by line
// (formatted output keeps the fields' trailing blanks) and flushed at the end.
#include "core/kinds.h"
#include "core/log.h"
#include "core/msgbuf.h"
#include "core/netcdf_status.h"
#include "core/sizes.h"
#include "core/state.h"
#include "core/units.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "kavro/util.h"
#include "open/open.h"

namespace kavro {

namespace {

using detail::MsgBuf;
using detail::NumField;

using Line = MsgBuf<640>;  // room for a 512-character path

// An empty line.
void empty_line() { detail::put_log_line(""); }

// A report line: five blanks, then the text with its trailing blanks (formatted output).
void report(std::string_view text) { detail::put_log_line_untrimmed(text); }

// A number in a 20-character field stripped of its leading blanks.
std::string_view count_text(const NumField& field) {
  const std::string_view f = field.view();
  return f.substr(static_cast<std::size_t>(LBLANK(f)));
}

std::string_view access_text(int fid) {
  const auto& b = state().b;
  if (b.VOLATILE3(fid)) return b.READONLY3(fid) ? "VOLATILE READONLY   " : "VOLATILE READWRITE  ";
  return b.READONLY3(fid) ? "READONLY            " : "READWRITE           ";
}

void dimensions_line(int fid) {
  const auto& b = state().b;
  Line line;
  line << "Dimensions: " << count_text(NumField(b.NROWS3(fid), 20)) << " rows, "
       << count_text(NumField(b.NCOLS3(fid), 20)) << " cols, "
       << count_text(NumField(b.NLAYS3(fid), 20)) << " lays, "
       << count_text(NumField(b.NVARS3(fid), 20)) << " vbles";
  if (b.FTYPE3(fid) == BNDARY3) {
    line << ", " << count_text(NumField(b.NTHIK3(fid), 20)) << " cells thick";
  } else if (b.FTYPE3(fid) == KFEVNT3) {
    line << ", " << count_text(NumField(b.NTHIK3(fid), 20)) << " max recs/cell, "
         << count_text(NumField(b.MXREC3(fid), 20)) << " total recs";
  }
  report(line);
}

void time_block(int fid) {
  const auto& b = state().b;
  const int sdate = b.SDATE3(fid), stime = b.STIME3(fid), tstep = b.TSTEP3(fid);
  const bool events = b.FTYPE3(fid) == KFEVNT3;
  if (!events && tstep == 0) {
    report("Time-independent data.");
    return;
  }
  report(Line() << "Starting date and time" << NumField(sdate, 9) << ":"
                << detail::six_digits(stime) << " (" << DT2STR(sdate, stime).trimmed() << ")");
  if (events) {
    report(Line() << "Maximum current record number" << NumField(b.MXREC3(fid), 11, 6));
    return;
  }
  report(Line() << "Timestep                     " << NumField(tstep, 11, 6) << " ("
                << HHMMSS(detail::magnitude(tstep)).trimmed() << " hh:mm:ss)");
  report(Line() << "Maximum current record number" << NumField(b.MXREC3(fid), 10));
}

}  // namespace

bool OPNLOG3(int fid, std::string_view path, int fstatus) {
  auto& st = state();
  (void)detail::ensure_log("OPNLOG3");
  const detail::FileKind& kind = detail::kind_of(fid);

  // A file that carries an execution id reports its own; every other the run's.
  Line80 execid = st.c.EXECID3;
  bool first_nul = false;
  int status = detail::kStatusOk;
  if (kind.execution_id != nullptr) {
    status = kind.execution_id(fid, execid, first_nul);
  } else {
    first_nul = execid[0] == '\0';
  }
  if (first_nul) execid = kFreeSlotName;
  if (status != detail::kStatusOk) {
    empty_line();
    empty_line();
    report(">>> WARNING in subroutine OPNLOG3 <<<");
    report("Warning netCDF file header attribute EXEC_ID.");
    report(Line() << "Not available for file:  " << st.c.FLNAME3(fid).padded());
    report(detail::error_number_line(status));
    empty_line();
    empty_line();
  }

  report(" ");
  report(Line() << "\"" << st.c.FLNAME3(fid).trimmed() << "\" opened as " << mode_name(fstatus));
  report(Line() << "File name \"" << trimmed(path) << "\"");
  report(Line() << "File type " << type_name(st.b.FTYPE3(fid)));
  if (status == detail::kStatusOk) report(Line() << "Execution ID \"" << execid.trimmed() << "\"");
  report(Line() << "Grid name \"" << st.c.GDNAM3(fid).trimmed() << "\"");
  dimensions_line(fid);
  kind.report(fid, access_text(fid));
  time_block(fid);
  return XQFLUSH(st.b.LOGUNIT3);
}

}  // namespace kavro
