// The one system-call layer under every module's own file I/O and allocation: descriptors
// (the log's units, the classic-header reader, the direct data path), streams (the native
// binary module, the settings' files, the tool's report output) and blocks of memory whose
// failure has a message. Every call goes straight to the system, except that a test can make
// the N-th call of one operation, or of any, fail (test_hooks::fail_call), so each failure
// path is walked on purpose: an injected failure sets errno as the system would and returns
// what the system returns on failure, after releasing what the real call acquired (a close
// still closes). The layer counts the descriptors, streams and blocks it has handed out and
// not taken back, so a test sees a leak as a number.
#ifndef KAVRO_CORE_SYSCALLS_H
#define KAVRO_CORE_SYSCALLS_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kavro::detail::sys {

enum class Op { kOpen, kRead, kWrite, kSeek, kFlush, kSync, kClose, kAlloc, kAny };
inline constexpr int kOps = 8;  // the operations before kAny

// ---- Descriptors -----------------------------------------------------------------------------
// open(2) with O_CLOEXEC added; -1 with errno on failure.
int open(const char* path, int flags, unsigned mode = 0) noexcept;
// pread(2) that retries interrupted calls and short reads until N bytes or the end of the
// file: the bytes read, or -1 with errno.
long long pread_full(int fd, void* buf, std::size_t n, std::int64_t offset) noexcept;
// lseek(2).
std::int64_t seek(int fd, std::int64_t offset, int whence) noexcept;
// fsync(2).
int fsync(int fd) noexcept;
// close(2); the descriptor is released even when a failure is reported.
int close(int fd) noexcept;

// ---- Streams ---------------------------------------------------------------------------------
// fopen (an open); fdopen (an open that turns an open descriptor into a stream).
std::FILE* fopen(const char* path, const char* mode) noexcept;
std::FILE* fdopen(int fd, const char* mode) noexcept;
// N bytes, all or nothing: true only when all N moved. A read that found the end of the file
// first leaves failure_text() saying so.
bool fread_full(void* data, std::size_t n, std::FILE* f) noexcept;
// fwrite of N bytes, all or nothing: true only when all N were written (0 bytes: true).
bool fwrite_full(const void* data, std::size_t n, std::FILE* f) noexcept;
// fseeko to OFFSET from the start (a negative offset fails with EINVAL).
bool fseek(std::FILE* f, std::int64_t offset) noexcept;
// The stream's file length in bytes (one seek call).
bool flength(std::FILE* f, std::int64_t& bytes) noexcept;
// fflush (a flush).
int fflush(std::FILE* f) noexcept;
// The stream's buffered bytes written out, then the file forced to disk (one sync call).
bool fsync(std::FILE* f) noexcept;
// fclose; the stream is released even when a failure is reported.
int fclose(std::FILE* f) noexcept;
// The check made before reading a line through stdio (one read call).
bool read_allowed() noexcept;

// The system's description of the last failure of a stream call: "unexpected end of file"
// after fread_full found the file too short, else strerror(errno); null when errno is 0.
const char* failure_text() noexcept;
// Forgets the last failure (a refusal that is no system call's).
void clear_failure() noexcept;

// ---- Memory ----------------------------------------------------------------------------------
// Memory whose failure the caller reports: null on failure, never an exception. A request of
// 0 bytes still gets a block of its own.
void* allocate(std::size_t bytes) noexcept;
void* allocate_zeroed(std::size_t bytes) noexcept;
void release(void* p) noexcept;

}  // namespace kavro::detail::sys

namespace kavro::test_hooks {

// Makes the N-th call (1-based, counted from this moment) of OP fail, once; kAny counts calls
// of every operation together. N = 0 clears. The counts of every operation restart at 0.
void fail_call(detail::sys::Op op, long n) noexcept;
// No injected failures, counts at 0.
void clear_failures() noexcept;
// Calls of OP (kAny: of all) made since the last fail_call or clear_failures.
long calls_made(detail::sys::Op op) noexcept;

// What the layer has handed out and not taken back, in this process.
struct Held {
  long descriptors = 0;
  long streams = 0;
  long blocks = 0;
  bool operator==(const Held&) const = default;
};
Held held() noexcept;

}  // namespace kavro::test_hooks

#endif  // KAVRO_CORE_SYSCALLS_H
