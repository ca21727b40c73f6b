// Headers that state huge counts (dimensions, variables, attributes, attribute lengths, name
// lengths, a rank) through every way a user's file is opened: OPEN3 read-only and read-write,
// the survey of what a file lacks, and the tool. Each is refused with the header check's cause
// and nothing large is allocated: each path runs in a child process whose address space may
// grow by 200 MiB at most, whose peak memory is measured and whose largest request to malloc,
// calloc or realloc (libnetcdf's included, failed ones too) is counted. libnetcdf trusts such
// counts (it crashes on millions of dimensions and asks for gigabytes for a huge attribute), so
// a path that handed the file to nc_open would be caught here.
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "kavro/file_gaps.h"
#include "unit/open/open_fixture.h"

namespace {

// The largest block asked for since the watching child began, in memory the parent shares
// with it (null until the first child).
std::atomic<std::size_t>* largest_block = nullptr;

void note_block(std::size_t n) noexcept {
  if (largest_block == nullptr) return;
  std::size_t seen = largest_block->load(std::memory_order_relaxed);
  while (n > seen && !largest_block->compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
  }
}

}  // namespace

#if !defined(__SANITIZE_ADDRESS__)
// glibc's allocator under its own names: the test program's malloc, calloc and realloc count
// each request and pass it on (the sanitizer's allocator is left alone).
extern "C" void* __libc_malloc(std::size_t n);
extern "C" void* __libc_calloc(std::size_t k, std::size_t n);
extern "C" void* __libc_realloc(void* p, std::size_t n);
extern "C" void* malloc(std::size_t n) noexcept {
  note_block(n);
  return __libc_malloc(n);
}
extern "C" void* calloc(std::size_t k, std::size_t n) noexcept {
  std::size_t bytes = 0;
  note_block(__builtin_mul_overflow(k, n, &bytes) ? SIZE_MAX : bytes);
  return __libc_calloc(k, n);
}
extern "C" void* realloc(void* p, std::size_t n) noexcept {
  note_block(n);
  return __libc_realloc(p, n);
}
#endif

namespace kavro_test {
namespace {

constexpr std::uint64_t kHeadroom = std::uint64_t{200} << 20;
// A block no refusal needs (the library's own tables take a few megabytes at most).
constexpr std::size_t kLargeBlock = std::size_t{64} << 20;

// Where the entries of a CDF-1 header lie: the list counts and the fields the cases change.
struct Places {
  std::size_t ndims = 12;        // the dimension count (after magic, record count and tag)
  std::size_t dim_name = 16;     // the first dimension's name length
  std::size_t natts = 0;         // the global attribute count
  std::size_t att_name = 0;      // the first global attribute's name length
  std::size_t nvars_values = 0;  // the value count of NVARS
  std::size_t filedesc_values = 0;
  std::size_t nvars = 0;     // the variable count
  std::size_t var_name = 0;  // the first variable's (TFLAG's) name length
  std::size_t var_rank = 0;
  std::size_t var_natts = 0;  // the first variable's attribute count
};

std::uint32_t get32(const std::string& b, std::size_t pos) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<std::uint8_t>(b[pos + i]);
  return v;
}
void put32(std::string& b, std::size_t pos, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[pos + i] = static_cast<char>(v >> (24 - 8 * i));
}
std::size_t padded(std::uint32_t n) { return (n + 3U) & ~std::size_t{3}; }

// The places in B, a CDF-1 file the fixture writer made.
Places places(const std::string& b) {
  Places p;
  std::size_t pos = 16;
  for (std::uint32_t i = 0; i < get32(b, p.ndims); ++i) pos += 4 + padded(get32(b, pos)) + 4;
  const auto attributes = [&](std::size_t count_at, bool global) {
    pos = count_at + 4;
    for (std::uint32_t i = 0; i < get32(b, count_at); ++i) {
      const std::uint32_t len = get32(b, pos);
      const std::string name = b.substr(pos + 4, len);
      pos += 4 + padded(len);
      const std::uint32_t type = get32(b, pos);
      const std::size_t count_pos = pos + 4;
      if (global && i == 0) p.att_name = count_pos - 8 - padded(len);
      if (global && name == "NVARS") p.nvars_values = count_pos;
      if (global && name == "FILEDESC") p.filedesc_values = count_pos;
      const std::uint32_t size = type == 3 ? 2 : type == 6 ? 8 : type <= 2 ? 1 : 4;
      pos = count_pos + 4 + padded(get32(b, count_pos) * size);
    }
  };
  p.natts = pos + 4;
  attributes(p.natts, true);
  p.nvars = pos + 4;
  p.var_name = pos + 8;
  p.var_rank = p.var_name + 4 + padded(get32(b, p.var_name));
  p.var_natts = p.var_rank + 4 + 4 * get32(b, p.var_rank) + 4;
  return p;
}

struct HugeCase {
  const char* name;
  std::size_t Places::*field;
  std::uint32_t value;
  // The check's cause; %llu stands for the file's size where the cause names it.
  const char* cause;
};

// What a path said, as the child reports it, and how much memory it took.
struct ChildResult {
  std::string said;
  int status = -1;          // wait status
  std::uint64_t grown = 0;  // peak resident bytes beyond the parent's
  std::size_t largest = 0;  // the largest block asked for (0 for a program the child runs)
};

std::uint64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

std::uint64_t address_space_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0;
  statm >> size;
  return size * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// Runs BODY in a child whose address space may grow by kHeadroom (the sanitizer's allocator
// reserves its own: there the peak memory alone is checked); what BODY writes to the descriptor
// it is given comes back.
ChildResult in_child(const std::function<void(int)>& body) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  if (largest_block == nullptr) {
    void* shared = mmap(nullptr, sizeof *largest_block, PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return {};
    largest_block = new (shared) std::atomic<std::size_t>(0);
  }
  const std::uint64_t before = resident_bytes();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    ::close(fds[0]);
    largest_block->store(0);
#if !defined(__SANITIZE_ADDRESS__)
    const rlim_t limit = address_space_bytes() + kHeadroom;
    const rlimit low{limit, limit};
    if (setrlimit(RLIMIT_AS, &low) != 0) _exit(120);
#endif
    body(fds[1]);
    _exit(0);
  }
  ::close(fds[1]);
  ChildResult r;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) r.said.append(buf, std::size_t(n));
  ::close(fds[0]);
  rusage usage{};
  if (wait4(pid, &r.status, 0, &usage) != pid) return r;
  const std::uint64_t peak = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
  r.grown = peak > before ? peak - before : 0;
  r.largest = largest_block->load();
  return r;
}

void say(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += std::size_t(n);
  }
}

class HugeCountsTest : public OpenFixture, public ::testing::WithParamInterface<HugeCase> {
 protected:
  // The sample-sized gridded file with the case's count written in; its path.
  std::string edited() {
    const std::string good = write(grid(2), "good.nc");
    std::string bytes = read_file(good);
    const Places p = places(bytes);
    put32(bytes, p.*GetParam().field, GetParam().value);
    const std::string path = dir().file("huge.nc");
    write_file(path, bytes);
    size_ = bytes.size();
    return path;
  }
  std::string cause() const {
    char text[200];
    std::snprintf(text, sizeof text, GetParam().cause, static_cast<unsigned long long>(size_));
    return text;
  }
  // The child ended normally, without a signal, took less than the headroom and asked for no
  // large block.
  static void expect_small(const ChildResult& r, const std::string& path) {
    EXPECT_TRUE(WIFEXITED(r.status)) << path << ": wait status " << r.status;
    EXPECT_LT(r.grown, kHeadroom) << path;
    EXPECT_LT(r.largest, kLargeBlock) << path;
  }
  std::size_t size_ = 0;
};

// OPEN3, read-only and read-write, logs the check's cause and never calls nc_open; the survey
// finds nothing to list.
TEST_P(HugeCountsTest, LibraryRefusesWithTheCause) {
  set_name("INFILE1", edited());
  const std::string expected_log = "File opening error:  " + cause() + " for file \"INFILE1\"";
  for (const int mode : {kavro::FSREAD3, kavro::FSRDWR3}) {
    const ChildResult r = in_child([&](int fd) {
      std::remove(log_path().c_str());  // each child starts its own log
      const bool opened = kavro::OPEN3("INFILE1", mode, "prog");
      say(fd, std::string(opened ? "opened" : "refused") + "|" +
                  (logged(expected_log) ? "cause" : log_text()) + "|" +
                  (log_mentions("netCDF error") ? "netCDF" : "-"));
    });
    EXPECT_EQ(r.said, "refused|cause|-") << "mode " << mode;
    expect_small(r, "OPEN3");
  }
  const ChildResult r = in_child([&](int fd) {
    const std::vector<std::string> gaps = kavro::file_gaps(dir().file("huge.nc"));
    say(fd, gaps.empty() ? "none" : kavro::file_gaps_line("huge.nc", gaps));
  });
  EXPECT_EQ(r.said, "none");
  expect_small(r, "file_gaps");
}

// The tool, with the file as INFILE2 (brindlewick FILE1 FILE2), ends with status 2 and the one
// cause line on standard error: no survey line, no crash, no large allocation.
TEST_P(HugeCountsTest, ToolRefusesWithOneLine) {
  const std::string path = edited();
  const std::string good = dir().file("good.nc");
  const std::string log = dir().file("tool.log");
  const ChildResult r = in_child([&](int fd) {
    if (dup2(fd, STDERR_FILENO) < 0) _exit(121);
    const std::string logfile = "LOGFILE=" + log;
    char* const argv[] = {const_cast<char*>(KAVRO_BRINDLEWICK), const_cast<char*>(good.c_str()),
                          const_cast<char*>(path.c_str()), nullptr};
    char* const envp[] = {const_cast<char*>(logfile.c_str()), nullptr};
    if (freopen("/dev/null", "w", stdout) == nullptr) _exit(122);
    execve(KAVRO_BRINDLEWICK, argv, envp);
    _exit(123);
  });
  EXPECT_EQ(r.said, "brindlewick: INFILE2 (" + path + "): " + cause() + "\n");
  ASSERT_TRUE(WIFEXITED(r.status)) << r.status;
  EXPECT_EQ(WEXITSTATUS(r.status), 2);
  EXPECT_LT(r.grown, kHeadroom);
}

INSTANTIATE_TEST_SUITE_P(
    Headers, HugeCountsTest,
    ::testing::Values(
        HugeCase{"Dimensions", &Places::ndims, 2130706438,
                 "2130706438 dimensions cannot fit in the file"},
        HugeCase{"DimensionName", &Places::dim_name, 0x7FFFFFFF,
                 "dimension: name of 2147483647 bytes"},
        HugeCase{"GlobalAttributes", &Places::natts, 0x7FFFFFF0,
                 "2147483632 attributes cannot fit in the file"},
        HugeCase{"AttributeName", &Places::att_name, 0x7FFFFFFF,
                 "attribute: name of 2147483647 bytes"},
        HugeCase{"NvarsLength", &Places::nvars_values, 0x7F000000,
                 "global attribute NVARS: 8522825728 bytes of values beyond file size %llu"},
        HugeCase{"FiledescLength", &Places::filedesc_values, 0x7FFFFFFF,
                 "global attribute FILEDESC: 2147483647 bytes of values beyond file size %llu"},
        HugeCase{"Variables", &Places::nvars, 0x7FFFFFFF,
                 "2147483647 variables cannot fit in the file"},
        HugeCase{"VariableName", &Places::var_name, 0x40000000,
                 "variable: name of 1073741824 bytes"},
        HugeCase{"Rank", &Places::var_rank, 0x7FFFFFFF,
                 "variable TFLAG: rank 2147483647 cannot fit in the file"},
        HugeCase{"VariableAttributes", &Places::var_natts, 0x7FFFFFFF,
                 "2147483647 attributes cannot fit in the file"}),
    [](const ::testing::TestParamInfo<HugeCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kavro_test
