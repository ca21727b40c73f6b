#include "core/log.h"

#include <cerrno>
#include <cstdio>
#include <new>
#include <string>

#include "core/msgbuf.h"
#include "core/state.h"
#include "core/units.h"
#include "kavro/core.h"
#include "kavro/params.h"

namespace kavro::detail {

namespace {
constexpr std::string_view kIndent = "     ";

// The program's log sink, and the line it is being handed piece by piece.
struct Sink {
  LogSink line = nullptr;
  void* context = nullptr;
  int warnings = 0;  // WarningLines alive
  std::string* pending = nullptr;
};
constinit Sink sink;

// The sink's stream is unbuffered, so each piece arrives while the code that wrote it is
// still running, and a warning's lines are known as such.
ssize_t sink_write(void* /*cookie*/, const char* buf, std::size_t size) noexcept {
  std::string_view rest(buf, size);
  try {
    for (std::size_t nl; (nl = rest.find('\n')) != std::string_view::npos;
         rest.remove_prefix(nl + 1)) {
      sink.pending->append(rest.substr(0, nl));
      // A program that took its sink back after the log was set up has the lines dropped.
      if (sink.line != nullptr) sink.line(sink.context, *sink.pending, sink.warnings > 0);
      sink.pending->clear();
    }
    sink.pending->append(rest);
  } catch (const std::bad_alloc&) {
    errno = ENOMEM;
    return -1;  // a failed write of the log unit, as a full disk would be
  }
  return static_cast<ssize_t>(size);
}

// A line left without its newline (a prompt) is handed over when the log closes.
int sink_close(void* /*cookie*/) noexcept {
  if (!sink.pending->empty() && sink.line != nullptr)
    sink.line(sink.context, *sink.pending, sink.warnings > 0);
  sink.pending->clear();
  return 0;
}
}  // namespace

WarningLines::WarningLines() noexcept { ++sink.warnings; }
WarningLines::~WarningLines() { --sink.warnings; }

bool log_sink_set() noexcept { return sink.line != nullptr; }

int open_log_sink(int unit) noexcept {
  if (sink.pending == nullptr) sink.pending = new (std::nothrow) std::string();
  if (sink.pending == nullptr) return ENOMEM;
  const cookie_io_functions_t io{nullptr, sink_write, nullptr, sink_close};
  std::FILE* f = fopencookie(nullptr, "w", io);
  if (f == nullptr) return errno > 0 ? errno : ENOMEM;
  std::setvbuf(f, nullptr, _IONBF, 0);
  const int status = attach_unit(unit, f);
  if (status != 0) std::fclose(f);
  return status;
}

int ensure_log(std::string_view caller) {
  auto& st = state();
  if (st.b.LOGUNIT3 < 0) st.b.LOGUNIT3 = INITLOG3(caller);
  return st.b.LOGUNIT3;
}

void put_unit_line(int unit, std::string_view text, bool trim) {
  write_text(unit, kIndent);
  write_line(unit, trim ? trimmed(text) : text);
}

void put_log_line(std::string_view text) {
  if (!trimmed(text).empty()) state().c.reason_line.assign(trimmed(text));
  put_unit_line(ensure_log("XQMSG2"), text);
}

void note_reason(std::string_view routine, std::string_view text) noexcept {
  auto& c = state().c;
  c.reason_routine.assign(routine);
  c.reason_text.assign(trimmed(text));
}

void note_file_failure(std::string_view routine, std::string_view lname, std::string_view path,
                       std::string_view cause) noexcept {
  auto& c = state().c;
  c.failure_noted = true;
  ++c.failure_serial;
  c.failure_routine.assign(routine);
  c.failure_lname.assign(trimmed(lname));
  c.failure_path.assign(trimmed(path));
  c.failure_cause.assign(trimmed(cause));
}

void note_file_failure(std::string_view routine, int fid, std::string_view cause) noexcept {
  const auto& c = state().c;
  note_file_failure(routine, c.FLNAME3(fid).padded(), c.paths(fid).padded(), cause);
}

unsigned file_failures_noted() noexcept { return state().c.failure_serial; }

void clear_reason() noexcept {
  auto& c = state().c;
  c.reason_routine.assign("");
  c.reason_text.assign("");
  c.reason_line.assign("");
  clear_file_failure();
}

NotedReason noted_reason() noexcept {
  const auto& c = state().c;
  return {c.reason_routine.trimmed(), c.reason_text.trimmed(), c.reason_line.trimmed()};
}

void put_log_line_untrimmed(std::string_view text) {
  put_unit_line(ensure_log("XQMSG2"), text, false);
}

bool flush_log() { return flush_unit(ensure_log("XQMSG2")); }

void warning_block(std::string_view caller, std::initializer_list<std::string_view> lines,
                   int trailing) {
  const WarningLines warning;
  put_log_line("");
  put_log_line("");
  put_log_line(MsgBuf<80>(">>> WARNING in subroutine ") << caller << " <<<");
  for (std::string_view line : lines) put_log_line(line);
  if (lines.size() > 0) note_reason(caller, *(lines.end() - 1));
  for (int i = 0; i < trailing; ++i) put_log_line("");
  flush_log();
}

void log_line(std::string_view text) {
  put_log_line(text);
  flush_log();
}

bool ensure_initialised() {
  if (state().b.INITDONE3) return true;
  INIT3();
  return false;
}

}  // namespace kavro::detail

namespace kavro {

void set_log_sink(LogSink line, void* context) noexcept {
  detail::sink.line = line;
  detail::sink.context = context;
}

FileFailure last_file_failure() noexcept {
  const auto& c = state().c;
  if (!c.failure_noted) return {};
  return {true, c.failure_routine.trimmed(), c.failure_lname.trimmed(), c.failure_path.trimmed(),
          c.failure_cause.trimmed()};
}

void clear_file_failure() noexcept { state().c.failure_noted = false; }

}  // namespace kavro
