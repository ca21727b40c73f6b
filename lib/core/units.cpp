#include "core/units.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <string>

#include "kavro/fixed_string.h"

namespace kavro::detail {

namespace {

// Units 10..99; null = not open. Zero-initialised, so usable before any constructor runs.
constinit std::array<std::FILE*, kLastFileUnit + 1> file_units{};

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

}  // namespace

int open_unit(int unit, std::string_view path, UnitOpen how) {
  if (!is_file_unit(unit) || stream(unit) != nullptr) return EBADF;
  const std::string name(path);
  // A new file gets the usual 0666 less the umask.
  const int fd = ::open(name.c_str(), open_flags(how) | O_CLOEXEC, 0666);
  if (fd < 0) return error_number();
  std::FILE* f = ::fdopen(fd, how == UnitOpen::kRead ? "r" : "a");
  if (f == nullptr) {
    const int err = error_number();
    ::close(fd);
    return err;
  }
  file_units[static_cast<std::size_t>(unit)] = f;
  return 0;
}

bool unit_open(int unit) noexcept { return stream(unit) != nullptr; }

int close_unit(int unit) noexcept {
  if (!is_file_unit(unit)) return 0;
  std::FILE*& f = file_units[static_cast<std::size_t>(unit)];
  if (f == nullptr) return 0;
  errno = 0;
  const int rc = std::fclose(f);
  f = nullptr;
  return rc == 0 ? 0 : error_number();
}

bool write_text(int unit, std::string_view text) noexcept {
  std::FILE* f = stream(unit);
  if (f == nullptr || unit == kStdinUnit) return false;
  return std::fwrite(text.data(), 1, text.size(), f) == text.size();
}

bool write_line(int unit, std::string_view text) noexcept {
  return write_text(unit, text) && write_text(unit, "\n");
}

bool flush_unit(int unit) noexcept {
  std::FILE* f = stream(unit);
  return f != nullptr && std::fflush(f) == 0;
}

int read_line(int unit, std::span<char> field) noexcept {
  assign_padded(field, "");
  std::FILE* f = stream(unit);
  if (f == nullptr) return EBADF;
  std::size_t n = 0;
  bool any = false;
  errno = 0;
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) {
    any = true;
    if (c == '\n') return 0;
    if (n < field.size()) field[n++] = static_cast<char>(c);
  }
  if (std::ferror(f)) {
    std::clearerr(f);
    return error_number();
  }
  // A last line without its newline still counts as a line.
  return any ? 0 : -1;
}

void reset_units() noexcept {
  for (int u = kFirstFileUnit; u <= kLastFileUnit; ++u) close_unit(u);
}

}  // namespace kavro::detail
