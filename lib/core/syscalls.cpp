#include "core/syscalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <new>

namespace kavro::detail::sys {

namespace {

struct Injection {
  std::array<long, kOps> calls{};
  Op op = Op::kOpen;
  long fail_at = 0;  // 0: nothing injected
};
constinit Injection injection{};

// Counts a call of OP; true when this is the one to fail (errno is then set).
bool injected(Op op) noexcept {
  long& n = injection.calls[static_cast<std::size_t>(op)];
  ++n;
  if (injection.fail_at == 0 || op != injection.op || n != injection.fail_at) return false;
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
  return fd;
}

long long pread_full(int fd, void* buf, std::size_t n, std::int64_t offset) noexcept {
  if (injected(Op::kRead)) return -1;
  auto* p = static_cast<unsigned char*>(buf);
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::pread(fd, p + got, n - got, static_cast<off_t>(offset) + static_cast<off_t>(got));
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

int close(int fd) noexcept {
  const bool fail = injected(Op::kClose);
  const int rc = ::close(fd);
  if (fail) {
    errno = EIO;
    return -1;
  }
  return rc;
}

std::FILE* fdopen(int fd, const char* mode) noexcept {
  if (injected(Op::kOpen)) return nullptr;
  return ::fdopen(fd, mode);
}

std::size_t fwrite(const void* data, std::size_t n, std::FILE* f) noexcept {
  if (injected(Op::kWrite)) return 0;
  return std::fwrite(data, 1, n, f);
}

int fflush(std::FILE* f) noexcept {
  if (injected(Op::kSync)) return EOF;
  return std::fflush(f);
}

int fsync(int fd) noexcept {
  if (injected(Op::kSync)) return -1;
  return ::fsync(fd);
}

int fclose(std::FILE* f) noexcept {
  const bool fail = injected(Op::kClose);
  const int rc = std::fclose(f);
  if (fail) {
    errno = EIO;
    return EOF;
  }
  return rc;
}

bool read_allowed() noexcept { return !injected(Op::kRead); }

void* allocate(std::size_t bytes) noexcept {
  if (injected(Op::kAlloc)) return nullptr;
  return ::operator new(bytes, std::nothrow);
}

void release(void* p) noexcept { ::operator delete(p); }

}  // namespace kavro::detail::sys

namespace kavro::test_hooks {

void fail_call(detail::sys::Op op, long n) noexcept {
  detail::sys::injection = {};
  detail::sys::injection.op = op;
  detail::sys::injection.fail_at = n;
}

void clear_failures() noexcept { detail::sys::injection = {}; }

long calls_made(detail::sys::Op op) noexcept {
  return detail::sys::injection.calls[static_cast<std::size_t>(op)];
}

}  // namespace kavro::test_hooks
