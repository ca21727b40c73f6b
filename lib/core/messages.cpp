// Messages, warnings and the program's orderly exit.
#include <netcdf.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "core/msgbuf.h"
#include "core/state.h"
#include "core/units.h"
#include "kavro/core.h"
#include "kavro/params.h"
#include "kavro/util.h"

namespace kavro {

namespace {

// Paragraph lines of XQEXIT and XQWARN.
using ParaLine = detail::MsgBuf<256>;

bool date_present(int jdate, int jtime) noexcept { return jdate > 0 || jtime > 0; }

void write_paragraph(std::span<const ParaLine> lines) {
  std::array<std::string_view, 8> views{};
  std::size_t n = 0;
  for (const ParaLine& l : lines) views[n++] = l.view();
  XQPARAG(static_cast<int>(n), std::span<const std::string_view>(views.data(), n));
}

// XQEXIT: every unit 10..99 closed in ascending order, the log among them.
void close_all_units() {
  auto& st = state();
  for (int u = detail::kFirstFileUnit; u <= detail::kLastFileUnit; ++u) {
    if (!detail::unit_open(u)) continue;
    const int status = detail::close_unit(u);
    // Once the log file itself is closed, the remaining reports go to standard error.
    if (u == st.b.LOGUNIT3) st.b.LOGUNIT3 = detail::kStderrUnit;
    if (status != 0) {
      detail::MsgBuf<80> m;
      m << "Error closing unit"
        << "  " << detail::right_justified(u, 4)
        << " status =" << detail::right_justified(status, 10);
      XQMSG2(m);
    }
  }
}

// Set by set_exit_handler: what XQEXIT ends with instead of std::exit.
ExitHandler& exit_handler() noexcept {
  static ExitHandler handler = nullptr;
  return handler;
}

}  // namespace

void XQMSG2(std::string_view message) {
  detail::ensure_log("XQMSG2");
  detail::log_line(message);
}

void XQMESG(std::string_view message) {
  detail::ensure_log("XQMSG2/XQMESG");
  detail::log_line(message);
}

void XQPARAG(int nmesg, std::span<const std::string_view> msgs) {
  detail::ensure_log("XQMSG2/XQPARAG");
  const std::size_t n = nmesg <= 0 ? 0 : std::min(static_cast<std::size_t>(nmesg), msgs.size());
  for (std::size_t i = 0; i < n; ++i) detail::put_log_line(msgs[i]);
  detail::flush_log();
}

void XQPROMPT(std::string_view prompt, std::span<char> response, int& status) {
  const int unit = detail::ensure_log("XQMSG2/XQPROMPT");
  detail::write_text(unit, "     ");
  detail::write_text(unit, trimmed(prompt));
  detail::flush_unit(unit);
  status = detail::read_line(detail::kStdinUnit, response);
  if (status < 0) XQEXIT("XQPROMPT", 0, 0, "END-OF-FILE encountered", kExitEndOfInput);
  if (status > 0) return;
  const std::string_view got(response.data(), response.size());
  if (got.find('!') != std::string_view::npos) assign_padded(response, "");
}

bool XQFLUSH(int idev) { return detail::flush_unit(idev); }

void XQWARN(std::string_view caller, int jdate, int jtime, std::string_view msgtxt) {
  std::array<ParaLine, 4> p{};
  p[1] << ">>--->> WARNING in subroutine " << caller;
  p[2] << msgtxt;
  if (date_present(jdate, jtime)) p[3] << "XQWARN:  DTBUF " << DT2STR(jdate, jtime).padded();
  const detail::WarningLines warning;
  write_paragraph(p);
  detail::note_reason(caller, p[2].view());
}

void XQERR(std::string_view caller, int jdate, int jtime, std::string_view msgtxt, bool fatal) {
  if (fatal) XQEXIT(caller, jdate, jtime, msgtxt, kExitFailure);
  XQWARN(caller, jdate, jtime, msgtxt);
}

void XQEXIT(std::string_view caller, int jdate, int jtime, std::string_view msgtxt, int exitstat) {
  std::array<ParaLine, 6> p{};
  std::size_t n = 1;  // a blank line first
  if (!SHUT3()) p[n++] << "Could not shut down KAVRO files correctly";
  if (exitstat != kExitOk) {
    p[n++] << "*** ERROR ABORT in subroutine " << caller;
  } else {
    p[n++] << "--->> Normal Completion of program " << caller;
  }
  p[n++] << msgtxt;
  if (date_present(jdate, jtime)) {
    p[n++] << "Date and time"
           << "  " << DT2STR(jdate, jtime).padded() << "  " << '('
           << detail::right_justified(jdate, 7) << ':' << detail::six_digits(jtime) << ')';
  }
  ++n;  // a blank line last
  write_paragraph(std::span<const ParaLine>(p.data(), n));
  const int log = state().b.LOGUNIT3;
  if (log == detail::kStdoutUnit) (void)detail::flush_unit(log);
  close_all_units();
  // A log that lost lines is no normal completion: say so where it can still be read.
  if (const int err = detail::unit_error(log); err != 0) {
    std::fprintf(stderr, "kavro: XQEXIT: the log could not be written: %s\n", std::strerror(err));
    if (exitstat == kExitOk) exitstat = kExitFailure;
  }
  if (const ExitHandler handler = exit_handler(); handler != nullptr) handler(exitstat);
  std::exit(exitstat);
}

void set_exit_handler(ExitHandler handler) noexcept { exit_handler() = handler; }

void XQABORT(std::string_view fname, int /*fid*/, int ierr, std::string_view mesg) {
  const detail::WarningLines warning;
  XQMSG2(mesg);
  detail::MsgBuf<256> m;
  m << "netCDF error number" << detail::right_justified(ierr, 5) << "  processing file " << '"'
    << trimmed(fname) << '"';
  XQMSG2(m);
  XQMSG2(detail::MsgBuf<80>(nc_strerror(ierr)));
  detail::note_reason("XQABORT", detail::MsgBuf<256>()
                                     << trimmed(mesg) << ": " << nc_strerror(ierr));
}

// Exists so that callers linking a routine of this name find one.
void FLUSH() {}

}  // namespace kavro

namespace {
std::string_view c_text(const char* s) noexcept { return s == nullptr ? std::string_view() : s; }
}  // namespace

extern "C" {

void xqmesgc(const char* msg) { kavro::XQMESG(c_text(msg)); }

void xqwarnc(const char* caller, int jdate, int jtime, const char* msg) {
  kavro::XQWARN(c_text(caller), jdate, jtime, c_text(msg));
}

void xqerrc(const char* caller, int jdate, int jtime, const char* msg, int fatal) {
  kavro::XQERR(c_text(caller), jdate, jtime, c_text(msg), (fatal & 1) != 0);
}

}  // extern "C"
