// The thin system-call layer under the library's own file I/O: opening, reading, writing,
// seeking, synchronising and closing files and streams, and allocating memory whose failure
// has a message. Every call goes straight to the system, except that a test can make the N-th
// call of one operation fail (test_hooks::fail_call), so each failure path is walked on
// purpose: an injected failure sets errno as the system would and returns what the system
// returns on failure, after releasing what the real call acquired (a close still closes).
#ifndef KAVRO_CORE_SYSCALLS_H
#define KAVRO_CORE_SYSCALLS_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kavro::detail::sys {

enum class Op { kOpen, kRead, kWrite, kSeek, kSync, kClose, kAlloc };
inline constexpr int kOps = 7;

// open(2) with O_CLOEXEC added; -1 with errno on failure.
int open(const char* path, int flags, unsigned mode = 0) noexcept;
// pread(2) that retries interrupted calls and short reads until N bytes or the end of the
// file: the bytes read, or -1 with errno.
long long pread_full(int fd, void* buf, std::size_t n, std::int64_t offset) noexcept;
// lseek(2).
std::int64_t seek(int fd, std::int64_t offset, int whence) noexcept;
// close(2); the descriptor is released even when a failure is reported.
int close(int fd) noexcept;

// The stdio side: fdopen (an open), fwrite (a write), fflush and fsync (syncs), fclose (a
// close, which always releases the stream), and the check made before reading a line.
std::FILE* fdopen(int fd, const char* mode) noexcept;
std::size_t fwrite(const void* data, std::size_t n, std::FILE* f) noexcept;
int fflush(std::FILE* f) noexcept;
int fsync(int fd) noexcept;
int fclose(std::FILE* f) noexcept;
bool read_allowed() noexcept;

// Memory whose failure the caller reports: null on failure, never an exception.
void* allocate(std::size_t bytes) noexcept;
void release(void* p) noexcept;

}  // namespace kavro::detail::sys

namespace kavro::test_hooks {

// Makes the N-th call (1-based, counted from this moment) of OP fail, once; N = 0 clears.
// The counts of every operation restart at 0.
void fail_call(detail::sys::Op op, long n) noexcept;
// No injected failures, counts at 0.
void clear_failures() noexcept;
// Calls of OP made since the last fail_call or clear_failures.
long calls_made(detail::sys::Op op) noexcept;

}  // namespace kavro::test_hooks

#endif  // KAVRO_CORE_SYSCALLS_H
