// The state tables before initialisation, after INIT3's resetting, and after a slot closes.
#include "core/state.h"

#include <gtest/gtest.h>

#include "kavro/kavro.h"
#include "support/test_env.h"

namespace kavro {
namespace {

class StateTest : public kavro_test::LibraryTest {};

TEST_F(StateTest, ProgramStartValues) {
  const auto& st = state();
  EXPECT_EQ(st.b.LOGUNIT3, IMISSING3);
  EXPECT_FALSE(st.b.INITDONE3);
  EXPECT_EQ(st.b.LASTFID3, 0);
  EXPECT_EQ(st.b.LISTUSED3, 0);
  EXPECT_EQ(st.b.NCID3(1), 0);
  EXPECT_EQ(st.b.VARID3(MXVARS3, MXOPEN3), 0);
  EXPECT_FALSE(st.b.VOLATILE3(MXOPEN3));
  EXPECT_EQ(st.c.EXECID3.trimmed(), "");
}

// INIT3 leaves every slot free and every unset marker in place.
TEST_F(StateTest, Init3ResetValues) {
  auto& st = state();
  st.b.LISTUSED3 = 4;
  st.b.LISTCOUNT3(7) = 3;
  INIT3();
  for (int f : {1, 100, MXOPEN3}) {
    EXPECT_TRUE(detail::slot_free(f));
    EXPECT_EQ(st.b.LAYSIZE3(f), IMISSING3);
    EXPECT_EQ(st.b.LISTFIRST3(f), IMISSING3);
    EXPECT_EQ(st.b.MEMBERFID3(f), IMISSING3);
    EXPECT_EQ(st.b.LISTCOUNT3(f), 0);
    for (int v : {1, MXVARS3}) {
      EXPECT_EQ(st.c.VLIST3D(v, f).padded(), kFreeSlotName);
      EXPECT_EQ(st.b.BUF0DATE3(v, f), IMISSING3);
      EXPECT_EQ(st.b.BUF0TIME3(v, f), IMISSING3);
      EXPECT_EQ(st.b.BUF1DATE3(v, f), IMISSING3);
      EXPECT_EQ(st.b.BUF1TIME3(v, f), IMISSING3);
    }
  }
  EXPECT_EQ(st.b.LISTCOUNT3(7), 0);
  EXPECT_EQ(st.b.LISTUSED3, 0);
  EXPECT_EQ(st.b.LASTFID3, 0);
  EXPECT_TRUE(st.b.INITDONE3);
}

// A closed slot's variables 1..NVARS3 lose their ids, buffer entries and names.
TEST_F(StateTest, ResetSlotClearsItsVariables) {
  INIT3();
  auto& st = state();
  st.c.FLNAME3(3) = "FILE3";
  st.b.NVARS3(3) = 2;
  for (int v = 1; v <= 3; ++v) {
    st.c.VLIST3D(v, 3) = "V";
    st.b.VARID3(v, 3) = v;
    st.b.BUFLAST3(v, 3) = 1;
    st.b.BUF1TIME3(v, 3) = 10000;
  }
  detail::reset_slot(3);
  EXPECT_TRUE(detail::slot_free(3));
  for (int v = 1; v <= 2; ++v) {
    EXPECT_EQ(st.c.VLIST3D(v, 3).padded(), kFreeSlotName);
    EXPECT_EQ(st.b.VARID3(v, 3), IMISSING3);
    EXPECT_EQ(st.b.BUFLAST3(v, 3), IMISSING3);
    EXPECT_EQ(st.b.BUF1TIME3(v, 3), IMISSING3);
  }
  EXPECT_EQ(st.b.VARID3(3, 3), 3);  // beyond NVARS3: left as it was
}

}  // namespace
}  // namespace kavro
