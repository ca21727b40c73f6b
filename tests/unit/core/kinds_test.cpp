// The file-kind table: one row per kind, found from the slot or from a logical name's value.
#include "core/kinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/state.h"
#include "kavro/kavro.h"
#include "support/test_env.h"

namespace kavro {
namespace {

class KindsTest : public kavro_test::LibraryTest {};

// Value forms select their kind in any letter case; anything else is a plain netCDF path.
TEST_F(KindsTest, ValueFormsSelectTheirKind) {
  INIT3();
  const struct {
    const char* value;
    int code;
  } cases[] = {{"BUFFERED", MEMFIL3}, {"buffered", MEMFIL3},  {"Virtual x", VIRTFIL3},
               {"bin:/a/b", BINFIL3}, {"LIST:A,B", LISTFIL3}, {"list:a", LISTFIL3},
               {"/data/f.nc", 0},     {"VIRTUALLY.nc", 0},    {"BIN", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(detail::kind_for_value(Path512(c.value).padded()).code, c.code) << c.value;
  }
  // The prefixes the library hands to programs (the Python package) are the rows' own, one
  // for each kind a value selects, in the order OPEN3 tries them.
  std::vector<int> kinds;
  for (const ValuePrefix& p : value_prefixes()) {
    EXPECT_EQ(detail::kind_for_value(Path512(std::string(p.prefix) + "x").padded()).code, p.kind)
        << p.prefix;
    kinds.push_back(p.kind);
  }
  EXPECT_EQ(kinds, (std::vector<int>{MEMFIL3, VIRTFIL3, BINFIL3, LISTFIL3}));
}

// A slot with a code no kind has (a closed or failed file) describes and synchronises as
// nothing, and has no flags: its reads fail with a message, never a crash.
TEST_F(KindsTest, UnknownCodeIsASlotThatHoldsNothing) {
  INIT3();
  auto& st = state();
  st.c.FLNAME3(1) = "GONE";
  st.b.NCID3(1) = -77;
  const detail::FileKind& k = detail::kind_of(1);
  EXPECT_EQ(k.code, IMISSING3);
  EXPECT_TRUE(k.sync(1));
  EXPECT_EQ(k.close(1), 0);
  detail::MsgBuf<256> why;
  std::array<int, 2> flags{};
  EXPECT_FALSE(k.read_flags(1, 1, 1, 1, 1, flags, why));
  EXPECT_EQ(std::string(std::string_view(why)),
            "Error reading time step flags for GONE            ");
}

// A kind this version refuses says so once per refused open and takes no slot.
TEST_F(KindsTest, RefusedKindWarnsOnce) {
  kavro_test::ScopedEnv bin("BINNAME", "VIRTUAL model");
  EXPECT_FALSE(OPEN3("BINNAME", FSREAD3, "prog"));
  const std::string log = log_text();
  const std::string text = "VIRTUAL files not implemented in this KAVRO version";
  std::size_t count = 0;
  for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 1u) << log;
  EXPECT_EQ(NAME2FID("BINNAME"), 0);
}

}  // namespace
}  // namespace kavro
