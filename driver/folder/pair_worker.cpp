#include "folder/pair_worker.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "kavro/kavro.h"

namespace brindlewick {
namespace {

// The connection carries each request as its fields, each a 32-bit length and its bytes, and
// each answer as a 32-bit status.
bool write_all(int fd, const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  while (n > 0) {
    const ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool read_all(int fd, void* data, std::size_t n) {
  char* p = static_cast<char*>(data);
  while (n > 0) {
    const ssize_t r = ::read(fd, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
  }
  return true;
}

// The fields of a request, in the order they travel.
auto fields(PairRequest& r) {
  return std::array<std::string*, 6>{&r.file1, &r.file2, &r.json, &r.err, &r.report, &r.maps};
}

bool write_request(int fd, PairRequest request) {
  std::string message;
  for (const std::string* f : fields(request)) {
    const auto n = static_cast<std::uint32_t>(f->size());
    message.append(reinterpret_cast<const char*>(&n), sizeof n).append(*f);
  }
  return write_all(fd, message.data(), message.size());
}

bool read_request(int fd, PairRequest& request) {
  for (std::string* f : fields(request)) {
    std::uint32_t n = 0;
    if (!read_all(fd, &n, sizeof n)) return false;
    f->resize(n);
    if (!read_all(fd, f->data(), n)) return false;
  }
  return true;
}

bool redirect(int fd, const std::string& path, int flags) {
  const int opened = ::open(path.c_str(), flags, 0644);
  if (opened < 0) return false;
  const bool moved = ::dup2(opened, fd) == fd;
  ::close(opened);
  return moved;
}

// The worker's side. Where a comparison's XQEXIT jumps back to, and the status it gave.
std::jmp_buf pair_end;
bool in_pair = false;
int pair_exit = 0;

[[noreturn]] void back_from_pair(int status) {
  if (!in_pair) std::exit(status);
  in_pair = false;
  pair_exit = status;
  std::longjmp(pair_end, 1);
}

// Standard output and error, and the tool's names, pointed at the pair. A worker that cannot
// says so on standard error (the pair's file when that much worked) and fails the pair.
bool point_at_pair(const PairRequest& r, const WorkerSettings& settings) {
  std::fflush(nullptr);
  if (!redirect(STDERR_FILENO, r.err, O_WRONLY | O_CREAT | O_TRUNC)) return false;
  const std::string out = r.report.empty() ? "/dev/null" : r.report;
  if (!redirect(STDOUT_FILENO, out, O_WRONLY | O_CREAT | O_TRUNC)) {
    std::fprintf(stderr, "brindlewick: could not create the report file \"%s\": %s\n", out.c_str(),
                 std::strerror(errno));
    return false;
  }
  if (!settings.reports && std::getenv("BRINDLEWICK_MAX_REPORTS") == nullptr) {
    ::setenv("BRINDLEWICK_MAX_REPORTS", "0", 1);  // no report is formatted to be thrown away
  }
  const bool set = (r.maps.empty() ? ::unsetenv("BRINDLEWICK_MAPS") == 0
                                   : ::setenv("BRINDLEWICK_MAPS", r.maps.c_str(), 1) == 0) &&
                   ::setenv("INFILE1", r.file1.c_str(), 1) == 0 &&
                   ::setenv("INFILE2", r.file2.c_str(), 1) == 0 &&
                   ::setenv("BRINDLEWICK_JSON", r.json.c_str(), 1) == 0;
  if (!set) std::fprintf(stderr, "brindlewick: could not set the pair's environment\n");
  return set;
}

// The names every pair shares. Settings that name one file for the whole run would collide
// between pairs.
bool point_at_run(const WorkerSettings& settings) {
  ::unsetenv("BRINDLEWICK_CSV");
  return (settings.stack.empty() || ::setenv("STACK1", settings.stack.c_str(), 1) == 0) &&
         ::setenv("LOGFILE", "/dev/null", 1) == 0 &&
         ::setenv("BRINDLEWICK_EXIT_ON_DIFF", "Y", 1) == 0;
}

// One pair compared in this process: the status the single-pair run would leave with.
int compare_here(LocationSource source) {
  if (setjmp(pair_end) != 0) return end_pair(pair_exit);
  in_pair = true;
  compare_pair(kavro::INIT3(), source);
}

[[noreturn]] void work(int fd, const WorkerSettings& settings) {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  if (!redirect(STDIN_FILENO, "/dev/null", O_RDONLY) || !point_at_run(settings)) {
    ::_exit(kavro::kExitFailure);
  }
  set_floating_point_modes();
  kavro::set_exit_handler(back_from_pair);
  for (PairRequest r; read_request(fd, r);) {
    std::int32_t status = kavro::kExitFailure;
    if (point_at_pair(r, settings)) {
      status = compare_here(settings.source);
      std::fflush(nullptr);
      kavro::reset_library();
    }
    if (!write_all(fd, &status, sizeof status)) break;
  }
  ::_exit(kavro::kExitOk);
}

}  // namespace

PairWorker::PairWorker(PairWorker&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)),
      fd_(std::exchange(other.fd_, -1)),
      served_(other.served_) {}

PairWorker::~PairWorker() { retire(); }

bool PairWorker::start(const WorkerSettings& settings, std::span<const PairWorker> others,
                       std::string& error) {
  std::array<int, 2> ends{};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends.data()) != 0) {
    error = std::string("could not start the comparison: ") + std::strerror(errno);
    return false;
  }
  // Nothing this process has buffered may be written again by the worker.
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The worker sees the end of its connection only when no other process holds it open.
    for (const PairWorker& w : others) {
      if (w.fd_ >= 0) ::close(w.fd_);
    }
    ::close(ends[0]);
    work(ends[1], settings);
  }
  const int fork_error = errno;
  ::close(ends[1]);
  if (pid < 0) {
    ::close(ends[0]);
    error = std::string("could not start the comparison: ") + std::strerror(fork_error);
    return false;
  }
  pid_ = pid;
  fd_ = ends[0];
  served_ = 0;
  return true;
}

bool PairWorker::send(const PairRequest& request) {
  ++served_;
  return write_request(fd_, request);
}

int PairWorker::end() {
  std::int32_t status = 0;
  if (read_all(fd_, &status, sizeof status)) return (status & 0xff) << 8;  // as an exit
  return reap();
}

int PairWorker::reap() {
  ::close(fd_);
  fd_ = -1;
  int wait_status = 0;
  while (::waitpid(pid_, &wait_status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  return wait_status;
}

void PairWorker::retire() {
  if (pid_ > 0) static_cast<void>(reap());
}

}  // namespace brindlewick
