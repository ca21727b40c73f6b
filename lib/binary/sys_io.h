// The system calls of the native binary module, one funnel each: opening, reading, writing,
// seeking, forcing to disk, closing a stream, taking the file's length, and allocating the
// module's state. A test can make the Nth call from now fail (with EIO, or no memory), so
// every failure path of the module is a path that runs.
#ifndef KAVRO_BINARY_SYS_IO_H
#define KAVRO_BINARY_SYS_IO_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace kavro::detail::sysio {

std::FILE* open(const char* path, const char* mode) noexcept;
// True only when all N bytes moved; a short read leaves errno 0 when the file simply ended.
bool read(void* p, std::size_t n, std::FILE* f) noexcept;
bool write(const void* p, std::size_t n, std::FILE* f) noexcept;
bool seek(std::FILE* f, std::int64_t offset) noexcept;
// Writes the stream's buffered bytes out, then forces the file to disk.
bool sync(std::FILE* f) noexcept;
// Closes the stream; it is gone whatever the result.
bool close(std::FILE* f) noexcept;
// The file's length in bytes.
bool length(std::FILE* f, std::int64_t& bytes) noexcept;
// N bytes, or null; released with release().
void* allocate(std::size_t n) noexcept;
void release(void* p) noexcept;

// The system's description of the last failure: "unexpected end of file" after a read that
// found the file too short; null when no system call failed.
const char* error_text() noexcept;
// Forgets the last failure (a refusal that is no system call's).
void clear_error() noexcept;

}  // namespace kavro::detail::sysio

namespace kavro::test_hooks {
// The Nth call of the binary module's system-call layer from now (1: the next one) fails;
// 0 disarms.
void fail_binary_call(int n) noexcept;
// Calls made since the last fail_binary_call.
int binary_calls() noexcept;
// Streams the module has open now.
int binary_streams_open() noexcept;
// Blocks the module has allocated and not released.
int binary_blocks_held() noexcept;
}  // namespace kavro::test_hooks

#endif  // KAVRO_BINARY_SYS_IO_H
