#include "core/units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

#include "core/syscalls.h"
#include "kavro/fixed_string.h"

namespace kavro::detail {

namespace {

// Units 10..99; null = not open. Zero-initialised, so usable before any constructor runs.
constinit std::array<std::FILE*, kLastFileUnit + 1> file_units{};
// Per unit (0..99): the first error number of a failed write, flush or close.
constinit std::array<int, kLastFileUnit + 1> unit_errors{};
// Bit FD set: standard descriptor FD (0, 1, 2) was closed when the library first looked.
constinit unsigned closed_at_start = 0;

bool is_file_unit(int unit) noexcept { return unit >= kFirstFileUnit && unit <= kLastFileUnit; }

// The stream of an open unit, or null.
std::FILE* stream(int unit) noexcept {
  switch (unit) {
    case kStderrUnit:
      return stderr;
    case kStdinUnit:
      return stdin;
    case kStdoutUnit:
      return stdout;
    default:
      return is_file_unit(unit) ? file_units[static_cast<std::size_t>(unit)] : nullptr;
  }
}

int open_flags(UnitOpen how) noexcept {
  switch (how) {
    case UnitOpen::kNew:
      return O_WRONLY | O_CREAT | O_EXCL;
    case UnitOpen::kExisting:
      return O_WRONLY | O_APPEND;
    case UnitOpen::kRead:
      return O_RDONLY;
  }
  return O_RDONLY;
}

int error_number() noexcept { return errno > 0 ? errno : EIO; }

bool is_unit(int unit) noexcept { return unit >= 0 && unit <= kLastFileUnit; }

// Records a failure on UNIT (the first one counts); returns false.
bool failed(int unit, int err) noexcept {
  if (is_unit(unit) && unit_errors[static_cast<std::size_t>(unit)] == 0) {
    unit_errors[static_cast<std::size_t>(unit)] = err;
  }
  return false;
}

// A file to read must be a regular file: a FIFO would block, a device never end. (A
// directory opens and fails at its first read, as a formatted file would.)
int regular_file_status(int fd) noexcept {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return error_number();
  if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return EINVAL;
  // Reads block as usual once the file is known to be a regular file.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) (void)::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return 0;
}

}  // namespace

int open_unit(int unit, std::string_view path, UnitOpen how) {
  if (!is_file_unit(unit) || stream(unit) != nullptr) return EBADF;
  const std::string name(path);
  // A new file gets the usual 0666 less the umask.
  const bool reading = how == UnitOpen::kRead;
  const int fd =
      sys::open(name.c_str(), open_flags(how) | (reading ? O_NONBLOCK | O_NOCTTY : 0), 0666);
  if (fd < 0) return error_number();
  if (const int status = reading ? regular_file_status(fd) : 0; status != 0) {
    (void)sys::close(fd);
    return status;
  }
  std::FILE* f = sys::fdopen(fd, reading ? "r" : "a");
  if (f == nullptr) {
    const int err = error_number();
    (void)sys::close(fd);
    return err;
  }
  file_units[static_cast<std::size_t>(unit)] = f;
  unit_errors[static_cast<std::size_t>(unit)] = 0;
  return 0;
}

int attach_unit(int unit, std::FILE* f) noexcept {
  if (!is_file_unit(unit) || stream(unit) != nullptr) return EBADF;
  file_units[static_cast<std::size_t>(unit)] = f;
  unit_errors[static_cast<std::size_t>(unit)] = 0;
  return 0;
}

bool unit_open(int unit) noexcept { return stream(unit) != nullptr; }

int close_unit(int unit) noexcept {
  if (!is_file_unit(unit)) return 0;
  std::FILE*& f = file_units[static_cast<std::size_t>(unit)];
  if (f == nullptr) return 0;
  errno = 0;
  const int rc = sys::fclose(f);
  f = nullptr;
  if (rc == 0) return 0;
  const int err = error_number();
  failed(unit, err);
  return err;
}

bool write_text(int unit, std::string_view text) noexcept {
  std::FILE* f = stream(unit);
  if (f == nullptr || unit == kStdinUnit) return false;
  if (text.empty()) return true;
  return sys::fwrite_full(text.data(), text.size(), f) || failed(unit, error_number());
}

bool write_line(int unit, std::string_view text) noexcept {
  return write_text(unit, text) && write_text(unit, "\n");
}

bool flush_unit(int unit) noexcept {
  std::FILE* f = stream(unit);
  if (f == nullptr) return false;
  return sys::fflush(f) == 0 || failed(unit, error_number());
}

int read_line(int unit, std::span<char> field) noexcept {
  assign_padded(field, "");
  std::FILE* f = stream(unit);
  if (f == nullptr) return EBADF;
  if (!sys::read_allowed()) return error_number();
  std::size_t n = 0;
  std::size_t seen = 0;
  bool any = false;
  errno = 0;
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) {
    any = true;
    if (c == '\n') return 0;
    if (n < field.size()) field[n++] = static_cast<char>(c);
    if (++seen == kMaxLineBytes) return EFBIG;
  }
  if (std::ferror(f)) {
    std::clearerr(f);
    return error_number();
  }
  // A last line without its newline still counts as a line.
  return any ? 0 : -1;
}

int unit_error(int unit) noexcept {
  return is_unit(unit) ? unit_errors[static_cast<std::size_t>(unit)] : 0;
}

void guard_standard_descriptors() noexcept {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    closed_at_start |= 1U << fd;
    // What goes to standard output from now on is lost: a log kept there is a failed write.
    if (fd == 1) failed(kStdoutUnit, EBADF);
    // The lowest free number is FD itself, the ones below it being open by now.
    const int got = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (got >= 0 && got != fd) {
      (void)::dup2(got, fd);
      (void)::close(got);
    }
  }
}

bool standard_descriptor_was_closed(int fd) noexcept {
  return fd >= 0 && fd <= 2 && (closed_at_start & (1U << fd)) != 0;
}

void reset_units() noexcept {
  for (int u = kFirstFileUnit; u <= kLastFileUnit; ++u) close_unit(u);
}

}  // namespace kavro::detail
