#include "support/fault_walk.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kavro_test {

namespace test_hooks = kavro::test_hooks;

std::vector<FailurePoint> walk_failures(const FaultWalk& walk) {
  std::vector<FailurePoint> points;
  for (long n = 1; n <= walk.limit; ++n) {
    const test_hooks::Held before = test_hooks::held();
    const std::string text_before = walk.text ? walk.text() : std::string();
    test_hooks::fail_call(walk.op, n);
    const bool ok = walk.run();
    const bool reached = test_hooks::calls_made(walk.op) >= n;
    test_hooks::clear_failures();
    if (ok && walk.undo) walk.undo();
    if (!reached) {
      EXPECT_TRUE(ok) << "the run without a failure failed (after " << n - 1 << " failure points)";
      return points;
    }
    if (ok && walk.tolerated && walk.tolerated(n)) continue;
    std::string written = walk.text ? walk.text() : std::string();
    written.erase(0, std::min(written.size(), text_before.size()));
    EXPECT_FALSE(ok) << "call " << n << " failed and the operation succeeded";
    const test_hooks::Held after = test_hooks::held();
    EXPECT_LE(after.descriptors, before.descriptors) << "descriptors after call " << n << " failed";
    EXPECT_LE(after.streams, before.streams) << "streams after call " << n << " failed";
    EXPECT_LE(after.blocks, before.blocks) << "blocks after call " << n << " failed";
    points.push_back({n, std::move(written)});
  }
  ADD_FAILURE() << "more than " << walk.limit << " failure points";
  return points;
}

namespace {
bool has_line(const std::string& text, const std::string& line) {
  const std::string whole = "\n" + text;
  return whole.find("\n" + line + "\n") != std::string::npos;
}
}  // namespace

void expect_failures(const FaultWalk& walk, const std::vector<std::string>& messages) {
  const std::vector<FailurePoint> points = walk_failures(walk);
  EXPECT_EQ(points.size(), messages.size());
  for (std::size_t i = 0; i < points.size() && i < messages.size(); ++i) {
    EXPECT_TRUE(has_line(points[i].written, walk.line_prefix + messages[i]))
        << "call " << points[i].n << ": expected the line \"" << messages[i] << "\" in:\n"
        << points[i].written;
  }
}

}  // namespace kavro_test
