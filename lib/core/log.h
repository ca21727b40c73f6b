// The one log sink. Every line the library writes to its log goes through here: five
// blanks, the text without its trailing blanks, a newline; log_line flushes, so the log is
// complete up to the last message even if the process dies later.
//
// Message building helpers (MsgBuf<N>, right_justified, six_digits) are in core/msgbuf.h.
#ifndef KAVRO_CORE_LOG_H
#define KAVRO_CORE_LOG_H

#include <initializer_list>
#include <string_view>

namespace kavro::detail {

// The log unit, set up through INITLOG3(CALLER) when nobody has yet.
int ensure_log(std::string_view caller);

// Writes one log line and flushes the log (the log is set up with the caller tag "XQMSG2"
// when needed).
void log_line(std::string_view text);

// Writes one log line without flushing; end a group of lines with flush_log().
void put_log_line(std::string_view text);

// Writes one log line keeping the text's trailing blanks (the start-up notice), no flush.
void put_log_line_untrimmed(std::string_view text);

// Flushes the log; false when the flush fails.
bool flush_log();

// A warning block of routine CALLER on the log: two empty lines, the headline
// ">>> WARNING in subroutine CALLER <<<", each of LINES, then TRAILING empty lines; the log is
// flushed once at the end.
void warning_block(std::string_view caller, std::initializer_list<std::string_view> lines,
                   int trailing = 0);

// Writes a line of five blanks and TEXT (without its trailing blanks) on a unit other than
// the log: the start-up banner and the log-opening failure block on standard output.
void put_unit_line(int unit, std::string_view text, bool trim = true);

// The reason of the last failure reported (Cstate3::reason_*): a warning or a netCDF failure
// of routine ROUTINE with TEXT. Every log line is noted as the fallback reason.
void note_reason(std::string_view routine, std::string_view text) noexcept;
// The last failure of a file: routine ROUTINE failed on the file of logical name LNAME at PATH
// for CAUSE. Noted where the failure is logged, so the cause is the log's own; the slot form
// takes the name and path of the file in slot FID.
void note_file_failure(std::string_view routine, std::string_view lname, std::string_view path,
                       std::string_view cause) noexcept;
void note_file_failure(std::string_view routine, int fid, std::string_view cause) noexcept;
// Counts the failures noted so far: a routine tells whether a callee noted one.
unsigned file_failures_noted() noexcept;
// Forgets the reason and the failure noted so far (a caller about to make one call).
void clear_reason() noexcept;
// The reason noted since clear_reason, without trailing blanks: ROUTINE and TEXT of the last
// warning or netCDF failure, and LINE, the last log line; each empty when none was noted.
struct NotedReason {
  std::string_view routine;
  std::string_view text;
  std::string_view line;
};
NotedReason noted_reason() noexcept;

// Lines written while one of these lives belong to a warning (a log sink tells them apart).
class WarningLines {
 public:
  WarningLines() noexcept;
  ~WarningLines();
  WarningLines(const WarningLines&) = delete;
  WarningLines& operator=(const WarningLines&) = delete;
};

// Whether a program has set a log sink (set_log_sink).
bool log_sink_set() noexcept;
// INITLOG3: puts the program's log sink on UNIT. Returns 0, or the error number.
int open_log_sink(int unit) noexcept;

// Makes sure the library is initialised: true when it already was, otherwise INIT3 is run
// and the result is false (callers such as the name look-up report that case).
bool ensure_initialised();

}  // namespace kavro::detail

#endif  // KAVRO_CORE_LOG_H
