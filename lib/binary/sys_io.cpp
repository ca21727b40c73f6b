#include "binary/sys_io.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kavro::detail::sysio {

namespace {

int fail_at = 0;  // the call that fails, counted from the last arming; 0: none
int calls = 0;
int streams = 0;
int blocks = 0;
bool ended = false;  // the last read found the end of the file

// Counts the call; true when it is the one a test asked to fail (errno then says why).
bool injected(int err) noexcept {
  ++calls;
  ended = false;
  if (fail_at == 0 || calls != fail_at) return false;
  errno = err;
  return true;
}

}  // namespace

std::FILE* open(const char* path, const char* mode) noexcept {
  if (injected(EIO)) return nullptr;
  std::FILE* f = std::fopen(path, mode);
  if (f != nullptr) ++streams;
  return f;
}

bool read(void* p, std::size_t n, std::FILE* f) noexcept {
  if (injected(EIO)) return false;
  errno = 0;
  if (n == 0) return true;  // nothing to move (a file without variables)
  if (std::fread(p, 1, n, f) == n) return true;
  ended = std::feof(f) != 0 && std::ferror(f) == 0;
  return false;
}

bool write(const void* p, std::size_t n, std::FILE* f) noexcept {
  if (injected(EIO)) return false;
  return n == 0 || std::fwrite(p, 1, n, f) == n;
}

bool seek(std::FILE* f, std::int64_t offset) noexcept {
  if (injected(EINVAL)) return false;
  if (offset < 0) {
    errno = EINVAL;
    return false;
  }
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool sync(std::FILE* f) noexcept {
  if (injected(EIO)) return false;
  return std::fflush(f) == 0 && fsync(fileno(f)) == 0;
}

bool close(std::FILE* f) noexcept {
  --streams;
  if (injected(EIO)) {
    (void)std::fclose(f);  // the stream is gone all the same
    errno = EIO;
    return false;
  }
  return std::fclose(f) == 0;
}

bool length(std::FILE* f, std::int64_t& bytes) noexcept {
  if (injected(EIO)) return false;
  struct stat sb {};
  if (fstat(fileno(f), &sb) != 0) return false;
  bytes = static_cast<std::int64_t>(sb.st_size);
  return true;
}

void* allocate(std::size_t n) noexcept {
  if (injected(ENOMEM)) return nullptr;
  void* p = std::malloc(n == 0 ? 1 : n);
  if (p != nullptr) ++blocks;
  return p;
}

void release(void* p) noexcept {
  if (p == nullptr) return;
  --blocks;
  std::free(p);
}

const char* error_text() noexcept {
  if (ended) return "unexpected end of file";
  return errno == 0 ? nullptr : std::strerror(errno);
}

void clear_error() noexcept {
  ended = false;
  errno = 0;
}

}  // namespace kavro::detail::sysio

namespace kavro::test_hooks {
void fail_binary_call(int n) noexcept {
  detail::sysio::fail_at = n;
  detail::sysio::calls = 0;
}
int binary_calls() noexcept { return detail::sysio::calls; }
int binary_streams_open() noexcept { return detail::sysio::streams; }
int binary_blocks_held() noexcept { return detail::sysio::blocks; }
}  // namespace kavro::test_hooks
