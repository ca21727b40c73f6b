// The system-call layer: which call fails, how it fails, and what it counts as held.
#include "core/syscalls.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>

#include "support/test_env.h"

namespace kavro {
namespace {

namespace sys = detail::sys;
using kavro_test::TempDir;

class SyscallsTest : public ::testing::Test {
 protected:
  void TearDown() override { test_hooks::clear_failures(); }
  TempDir dir_;
};

// An injected failure returns what the system returns on failure, with the errno it would
// set, and counts as a call of its operation and of any.
struct InjectedCase {
  const char* name;
  sys::Op op;
  int err;
  std::function<bool(const std::string& path)> fails;  // true when the call reported failure
};
class InjectedFailure : public SyscallsTest, public ::testing::WithParamInterface<InjectedCase> {};

TEST_P(InjectedFailure, LooksLikeTheSystems) {
  const std::string path = dir_.file("f");
  kavro_test::write_file(path, "0123456789");
  for (const sys::Op armed : {GetParam().op, sys::Op::kAny}) {
    const test_hooks::Held before = test_hooks::held();
    test_hooks::fail_call(armed, 1);
    errno = 0;
    EXPECT_TRUE(GetParam().fails(path));
    EXPECT_EQ(errno, GetParam().err);
    EXPECT_EQ(test_hooks::calls_made(GetParam().op), 1);
    EXPECT_EQ(test_hooks::calls_made(sys::Op::kAny), 1);
    EXPECT_EQ(test_hooks::held(), before);  // what a failing call acquired is released
  }
}

INSTANTIATE_TEST_SUITE_P(
    Calls, InjectedFailure,
    ::testing::Values(
        InjectedCase{"Open", sys::Op::kOpen, EIO,
                     [](const std::string& p) { return sys::open(p.c_str(), O_RDONLY) == -1; }},
        InjectedCase{"Fopen", sys::Op::kOpen, EIO,
                     [](const std::string& p) { return sys::fopen(p.c_str(), "r") == nullptr; }},
        InjectedCase{"Alloc", sys::Op::kAlloc, ENOMEM,
                     [](const std::string&) { return sys::allocate(8) == nullptr; }},
        InjectedCase{"AllocZeroed", sys::Op::kAlloc, ENOMEM,
                     [](const std::string&) { return sys::allocate_zeroed(8) == nullptr; }},
        InjectedCase{"Close", sys::Op::kClose, EIO,
                     [](const std::string& p) {
                       test_hooks::clear_failures();
                       const int fd = sys::open(p.c_str(), O_RDONLY);
                       test_hooks::fail_call(sys::Op::kClose, 1);
                       return fd >= 0 && sys::close(fd) == -1;
                     }}),
    [](const auto& c) { return std::string(c.param.name); });

// The N-th call of one operation fails, and only it; kAny counts every operation together.
TEST_F(SyscallsTest, CountsPerOperationAndOverAll) {
  test_hooks::fail_call(sys::Op::kAlloc, 2);
  void* a = sys::allocate(1);
  void* b = sys::allocate(1);
  void* c = sys::allocate(1);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  EXPECT_NE(c, nullptr);
  sys::release(a);
  sys::release(c);
  test_hooks::fail_call(sys::Op::kAny, 2);
  const std::string path = dir_.file("g");
  std::FILE* f = sys::fopen(path.c_str(), "w+");
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(sys::fwrite_full("x", 1, f));  // call 2, of another operation
  EXPECT_TRUE(sys::fwrite_full("x", 1, f));
  EXPECT_EQ(test_hooks::calls_made(sys::Op::kAny), 3);
  EXPECT_EQ(sys::fclose(f), 0);
}

// Descriptors, streams and blocks are counted until given back; a descriptor turned into a
// stream is the stream's, and a failed close still gives it back.
TEST_F(SyscallsTest, HeldCountsFollowOwnership) {
  const test_hooks::Held start = test_hooks::held();
  const std::string path = dir_.file("h");
  const int fd = sys::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(test_hooks::held().descriptors, start.descriptors + 1);
  std::FILE* f = sys::fdopen(fd, "w");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(test_hooks::held().descriptors, start.descriptors);
  EXPECT_EQ(test_hooks::held().streams, start.streams + 1);
  void* p = sys::allocate_zeroed(0);
  EXPECT_EQ(test_hooks::held().blocks, start.blocks + 1);
  sys::release(p);
  test_hooks::fail_call(sys::Op::kClose, 1);
  EXPECT_EQ(sys::fclose(f), EOF);
  EXPECT_EQ(test_hooks::held(), start);
}

// A stream read that finds the end of the file says so; a refusal that is no system call's
// has nothing to describe.
TEST_F(SyscallsTest, ShortReadIsTheEndOfTheFile) {
  const std::string path = dir_.file("s");
  kavro_test::write_file(path, "abc");
  std::FILE* f = sys::fopen(path.c_str(), "r");
  ASSERT_NE(f, nullptr);
  char buf[8];
  EXPECT_FALSE(sys::fread_full(buf, sizeof buf, f));
  EXPECT_STREQ(sys::failure_text(), "unexpected end of file");
  sys::clear_failure();
  EXPECT_EQ(sys::failure_text(), nullptr);
  EXPECT_TRUE(sys::fseek(f, 1));
  EXPECT_TRUE(sys::fread_full(buf, 2, f));
  EXPECT_EQ(std::string(buf, 2), "bc");
  EXPECT_FALSE(sys::fseek(f, -1));
  EXPECT_EQ(errno, EINVAL);
  std::int64_t length = 0;
  EXPECT_TRUE(sys::flength(f, length));
  EXPECT_EQ(length, 3);
  EXPECT_EQ(sys::fclose(f), 0);
}

}  // namespace
}  // namespace kavro
