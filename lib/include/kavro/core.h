// The library core: messages, warnings and program exit; initialisation, the log, shutdown
// and the file slots.
#ifndef KAVRO_CORE_H
#define KAVRO_CORE_H

#include <cstddef>
#include <cstdio>
#include <span>
#include <string_view>

namespace kavro {

// ---- Messages, warnings and program exit ------------------------------------------------
void XQMSG2(std::string_view message);
void XQMESG(std::string_view message);
void XQPARAG(int nmesg, std::span<const std::string_view> msgs);
void XQPROMPT(std::string_view prompt, std::span<char> response, int& status);
bool XQFLUSH(int idev);
void XQWARN(std::string_view caller, int jdate, int jtime, std::string_view msgtxt);
void XQERR(std::string_view caller, int jdate, int jtime, std::string_view msgtxt, bool fatal);
[[noreturn]] void XQEXIT(std::string_view caller, int jdate, int jtime, std::string_view msgtxt,
                         int exitstat);
void XQABORT(std::string_view fname, int fid, int ierr, std::string_view mesg);
void FLUSH();

// Process exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitEndOfInput = 1;
inline constexpr int kExitFailure = 2;

// ---- Initialisation, log unit and shutdown ------------------------------------------------
int INIT3();
int INITLOG3(std::string_view caller);
int JUNIT();
int GETDTTIME(int& jdate, int& jtime);
bool SHUT3();
bool CLOSE3(std::string_view fname);
void INITBLK3();
// True when descriptor 1 was closed when the library started (INIT3 or INITLOG3): it is
// /dev/null since, so that no file takes its number, and whatever a program writes to standard
// output is lost. A program with output to give there fails as for a failed write.
bool standard_output_lost() noexcept;
// Starts the netCDF library (its run-control files, its network libraries) ahead of the first
// file, so that processes forked from this one find it started. Nothing else of the library
// is set up; a failure here is met again, and said, by the first open.
void start_netcdf() noexcept;

// What XQEXIT does last, once the files are shut and the log closed: std::exit(STATUS), unless
// the program set a handler of its own. A handler must not return to XQEXIT's caller: a program
// that runs the library once more in the same process jumps from it back to its own loop (the
// frames in between are left without unwinding), then calls reset_library(). A handler that
// returns anyway ends the program through std::exit. nullptr restores std::exit.
using ExitHandler = void (*)(int status);
void set_exit_handler(ExitHandler handler) noexcept;
// The library as before its first INIT3: whatever the file kinds hold given back, every table
// and description record at its program-start value, the settings read once forgotten, the log
// unit unset and every file unit closed, the failure record empty.
void reset_library() noexcept;

// A program's own log (the Python package's logging): when a sink is set before the log is set
// up and LOGFILE is unset, every log line goes to SINK with CONTEXT: the line as the log would
// hold it, without its newline, and whether it belongs to a warning. The log then counts as
// kept apart from standard output (the banner follows KAVRO_BANNER). A null SINK sets none.
using LogSink = void (*)(void* context, std::string_view line, bool warning) noexcept;
void set_log_sink(LogSink sink, void* context) noexcept;

// The slot that holds the file of logical name LNAME: 0 when none, -1 for a name longer than
// 16 characters.
int NAME2FID(std::string_view lname);

// ---- Why a file failed ------------------------------------------------------------------
// The last failure of a file the library reported: the routine that logged it, the file's
// logical name, the path that name stands for, and a short cause in the log's own terms ("no
// such file", "not a netCDF file", "variable \"SO2\" is not in this file"). The views point
// into the library's state and hold until the next library call; `noted` is false when no
// failure of a file was reported since clear_file_failure().
struct FileFailure {
  bool noted = false;
  std::string_view routine;
  std::string_view lname;
  std::string_view path;
  std::string_view cause;
};
FileFailure last_file_failure() noexcept;
void clear_file_failure() noexcept;

// ---- A program's own output -------------------------------------------------------------
// Writing and flushing a stream of the program's (its reports on standard output) through the
// library's system-call layer, so the program's output fails, and is tested failing, the way
// the library's own does. True when all N bytes were written, or the stream was flushed.
[[nodiscard]] bool write_stream(std::FILE* f, const void* data, std::size_t n) noexcept;
[[nodiscard]] bool flush_stream(std::FILE* f) noexcept;

}  // namespace kavro

#endif  // KAVRO_CORE_H
