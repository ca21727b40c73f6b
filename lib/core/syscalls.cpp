#include "core/syscalls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "kavro/core.h"

namespace kavro::detail::sys {

namespace {

struct Injection {
  std::array<long, kOps> calls{};
  long any_calls = 0;
  Op op = Op::kOpen;
  long fail_at = 0;  // 0: nothing injected
};
constinit Injection injection{};
constinit test_hooks::Held held_now{};
constinit bool ended = false;  // the last stream read found the end of the file

// Counts a call of OP; true when this is the one to fail (errno is then set as the system
// would set it for that operation).
bool injected(Op op) noexcept {
  ended = false;
  long& n = injection.calls[static_cast<std::size_t>(op)];
  ++n;
  ++injection.any_calls;
  if (injection.fail_at == 0) return false;
  const long counted = injection.op == Op::kAny ? injection.any_calls : n;
  if ((injection.op != Op::kAny && op != injection.op) || counted != injection.fail_at) {
    return false;
  }
  switch (op) {
    case Op::kWrite:
      errno = ENOSPC;
      break;
    case Op::kAlloc:
      errno = ENOMEM;
      break;
    default:
      errno = EIO;
      break;
  }
  return true;
}

}  // namespace

int open(const char* path, int flags, unsigned mode) noexcept {
  if (injected(Op::kOpen)) return -1;
  int fd = 0;
  do {
    fd = ::open(path, flags | O_CLOEXEC, static_cast<mode_t>(mode));
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) ++held_now.descriptors;
  return fd;
}

long long pread_full(int fd, void* buf, std::size_t n, std::int64_t offset) noexcept {
  if (injected(Op::kRead)) return -1;
  auto* p = static_cast<unsigned char*>(buf);
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r =
        ::pread(fd, p + got, n - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  return static_cast<long long>(got);
}

std::int64_t seek(int fd, std::int64_t offset, int whence) noexcept {
  if (injected(Op::kSeek)) return -1;
  return ::lseek(fd, static_cast<off_t>(offset), whence);
}

int fsync(int fd) noexcept {
  if (injected(Op::kSync)) return -1;
  return ::fsync(fd);
}

int close(int fd) noexcept {
  const bool fail = injected(Op::kClose);
  --held_now.descriptors;
  const int rc = ::close(fd);
  if (fail) {
    errno = EIO;
    return -1;
  }
  return rc;
}

std::FILE* fopen(const char* path, const char* mode) noexcept {
  if (injected(Op::kOpen)) return nullptr;
  std::FILE* f = std::fopen(path, mode);
  if (f != nullptr) ++held_now.streams;
  return f;
}

std::FILE* fdopen(int fd, const char* mode) noexcept {
  if (injected(Op::kOpen)) return nullptr;
  std::FILE* f = ::fdopen(fd, mode);
  if (f != nullptr) {
    // The descriptor now belongs to the stream: its fclose releases both.
    --held_now.descriptors;
    ++held_now.streams;
  }
  return f;
}

bool fread_full(void* data, std::size_t n, std::FILE* f) noexcept {
  if (injected(Op::kRead)) return false;
  errno = 0;
  if (n == 0) return true;  // nothing to move (a file without variables)
  if (std::fread(data, 1, n, f) == n) return true;
  ended = std::feof(f) != 0 && std::ferror(f) == 0;
  return false;
}

bool fwrite_full(const void* data, std::size_t n, std::FILE* f) noexcept {
  if (injected(Op::kWrite)) return false;
  return n == 0 || std::fwrite(data, 1, n, f) == n;
}

bool fseek(std::FILE* f, std::int64_t offset) noexcept {
  if (injected(Op::kSeek)) return false;
  if (offset < 0) {
    errno = EINVAL;
    return false;
  }
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool flength(std::FILE* f, std::int64_t& bytes) noexcept {
  if (injected(Op::kSeek)) return false;
  struct stat sb {};
  if (::fstat(fileno(f), &sb) != 0) return false;
  bytes = static_cast<std::int64_t>(sb.st_size);
  return true;
}

int fflush(std::FILE* f) noexcept {
  if (injected(Op::kFlush)) return EOF;
  return std::fflush(f);
}

bool fsync(std::FILE* f) noexcept {
  if (injected(Op::kSync)) return false;
  return std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
}

int fclose(std::FILE* f) noexcept {
  const bool fail = injected(Op::kClose);
  --held_now.streams;
  const int rc = std::fclose(f);
  if (fail) {
    errno = EIO;
    return EOF;
  }
  return rc;
}

bool read_allowed() noexcept { return !injected(Op::kRead); }

const char* failure_text() noexcept {
  if (ended) return "unexpected end of file";
  return errno == 0 ? nullptr : std::strerror(errno);
}

void clear_failure() noexcept {
  ended = false;
  errno = 0;
}

void* allocate(std::size_t bytes) noexcept {
  if (injected(Op::kAlloc)) return nullptr;
  void* p = std::malloc(bytes == 0 ? 1 : bytes);
  if (p != nullptr) ++held_now.blocks;
  return p;
}

void* allocate_zeroed(std::size_t bytes) noexcept {
  if (injected(Op::kAlloc)) return nullptr;
  void* p = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (p != nullptr) ++held_now.blocks;
  return p;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  --held_now.blocks;
  std::free(p);
}

}  // namespace kavro::detail::sys

namespace kavro {

bool write_stream(std::FILE* f, const void* data, std::size_t n) noexcept {
  return detail::sys::fwrite_full(data, n, f);
}

bool flush_stream(std::FILE* f) noexcept { return detail::sys::fflush(f) == 0; }

}  // namespace kavro

namespace kavro::test_hooks {

void fail_call(detail::sys::Op op, long n) noexcept {
  detail::sys::injection = {};
  detail::sys::injection.op = op;
  detail::sys::injection.fail_at = n;
}

void clear_failures() noexcept { detail::sys::injection = {}; }

long calls_made(detail::sys::Op op) noexcept {
  if (op == detail::sys::Op::kAny) return detail::sys::injection.any_calls;
  return detail::sys::injection.calls[static_cast<std::size_t>(op)];
}

Held held() noexcept { return detail::sys::held_now; }

}  // namespace kavro::test_hooks
