#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <string_view>

#include "kavro/kavro.h"

namespace kavro {
namespace {

struct Stepped {
  int date;
  int time;
};

Stepped stepped(int date, int time, int step) {
  NEXTIME(date, time, step);
  return {date, time};
}

bool leap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// A valid date of a year in -3000..5000, encoded year x 1000 + day for every sign.
int random_date(std::mt19937& rng) {
  const int year = std::uniform_int_distribution<int>(-3000, 5000)(rng);
  const int day = std::uniform_int_distribution<int>(1, leap(year) ? 366 : 365)(rng);
  return year * 1000 + day;
}

int random_time(std::mt19937& rng) {
  std::uniform_int_distribution<int> h(0, 23), ms(0, 59);
  return 10000 * h(rng) + 100 * ms(rng) + ms(rng);
}

// A signed duration of up to ten years, minutes and seconds 0..99 as a step may hold them.
int random_step(std::mt19937& rng) {
  std::uniform_int_distribution<int> h(0, 87660), ms(0, 99), sign(0, 1);
  const int s = 10000 * h(rng) + 100 * ms(rng) + ms(rng);
  return sign(rng) ? -s : s;
}

struct NextimeCase {
  int date, time, step, want_date, want_time;
};

// The calendar's turns: year ends, leap days, century rules, borrows, normalising steps of 0.
TEST(NextimeTest, StepsAcrossTheCalendar) {
  const NextimeCase cases[] = {
      {2023365, 230000, 10000, 2024001, 0},
      {2024001, 0, -10000, 2023365, 230000},
      {2024059, 120000, 240000, 2024060, 120000},
      {2023059, 120000, 240000, 2023060, 120000},
      {2024001, 100000, -5901, 2024001, 90059},
      {1900365, 0, 240000, 1901001, 0},
      {2000365, 0, 240000, 2000366, 0},
      {2024001, 0, 87840000, 2025001, 0},
      {2024010, 240000, 0, 2024011, 0},
      {2023366, 0, 0, 2024001, 0},
      {2024366, 0, 0, 2024366, 0},
      {2024000, 0, 0, 2023365, 0},
      {2024001, 0, -1, 2023365, 235959},
      {2024001, 0, 9999, 2024001, 14039},  // 99 minutes 99 seconds
      {1001, 0, -240000, 366, 0},          // year 0 is a leap year
      {-999, 0, -240000, -1635, 0},        // 1 January of year -1 back to 31 December of -2
      {-1635, 0, 240000, -999, 0},
      {0, 0, 0, -635, 0},  // day 0 of year 0: 31 December of year -1
  };
  for (const auto& c : cases) {
    const Stepped got = stepped(c.date, c.time, c.step);
    EXPECT_EQ(got.date, c.want_date) << c.date << " " << c.time << " " << c.step;
    EXPECT_EQ(got.time, c.want_time) << c.date << " " << c.time << " " << c.step;
  }
}

// A step forward then the same step back returns to the start, for any normalised start.
TEST(NextimeTest, StepForwardThenBackReturnsToStart) {
  std::mt19937 rng(20240201);
  for (int i = 0; i < 100000; ++i) {
    const int date = random_date(rng), time = random_time(rng), step = random_step(rng);
    const Stepped there = stepped(date, time, step);
    const Stepped back = stepped(there.date, there.time, -step);
    ASSERT_EQ(back.date, date) << date << " " << time << " " << step;
    ASSERT_EQ(back.time, time) << date << " " << time << " " << step;
  }
}

// Dates below year 1 step exactly like the same dates whole 400-year cycles later.
TEST(NextimeTest, EarlyYearsFollowTheFourHundredYearCycle) {
  std::mt19937 rng(400);
  std::uniform_int_distribution<int> year(-20000, 0), day(0, 999), cycles(1, 30);
  for (int i = 0; i < 100000; ++i) {
    const int date = year(rng) * 1000 + day(rng);
    const int time = random_time(rng), step = random_step(rng);
    const int shift = 400000 * cycles(rng);
    const Stepped low = stepped(date, time, step);
    const Stepped high = stepped(date + shift, time, step);
    ASSERT_EQ(low.date, high.date - shift) << date << " " << time << " " << step;
    ASSERT_EQ(low.time, high.time);
  }
}

// The seconds between a time and that time stepped are the step's seconds, from any start,
// normalised or not (day 0..999, hours beyond 23, negative times).
TEST(SecsdiffTest, AgreesWithNextime) {
  std::mt19937 rng(86400);
  std::uniform_int_distribution<int> year(-3000, 5000), day(0, 999), time(-999999, 999999);
  for (int i = 0; i < 100000; ++i) {
    const int date = year(rng) * 1000 + day(rng), start = time(rng), step = random_step(rng);
    const Stepped end = stepped(date, start, step);
    ASSERT_EQ(SECSDIFF(date, start, end.date, end.time), TIME2SEC(step))
        << date << " " << start << " " << step;
    ASSERT_EQ(SECSDIFF(end.date, end.time, date, start), -TIME2SEC(step));
  }
}

TEST(SecsdiffTest, CountsDaysAcrossYearsBothWays) {
  EXPECT_EQ(SECSDIFF(2023365, 0, 2024001, 0), 86400);
  EXPECT_EQ(SECSDIFF(2024001, 0, 2023365, 0), -86400);
  EXPECT_EQ(SECSDIFF(1999001, 0, 2001001, 0), 731 * 86400);
  EXPECT_EQ(SECSDIFF(2024001, 123456, 2024001, 123456), 0);
  EXPECT_EQ(SECSDIFF(-999, 0, 1001, 0), 731 * 86400);  // years -1 and 0 (leap)
  EXPECT_EQ(SECSDIFF(1000, 0, 1001, 0), 86400);
}

// Spans beyond 32 bits of seconds give the nearest int rather than a wrapped value.
TEST(SecsdiffTest, SaturatesBeyondTheIntRange) {
  EXPECT_EQ(SECSDIFF(1900001, 0, 1968020, 0), 24855 * 86400);  // still fits
  EXPECT_EQ(SECSDIFF(1900001, 0, 1990001, 0), INT_MAX);
  EXPECT_EQ(SECSDIFF(1990001, 0, 1900001, 0), INT_MIN);
  EXPECT_EQ(SECSDIFF(INT_MIN, INT_MIN, INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(SECSDIFF(INT_MAX, INT_MAX, INT_MIN, INT_MIN), INT_MIN);
}

TEST(Time2secTest, KeepsTheSignAndUnboundedHours) {
  EXPECT_EQ(TIME2SEC(0), 0);
  EXPECT_EQ(TIME2SEC(13005), 3600 + 30 * 60 + 5);
  EXPECT_EQ(TIME2SEC(-13005), -(3600 + 30 * 60 + 5));
  EXPECT_EQ(TIME2SEC(2400000), 864000);
  EXPECT_EQ(TIME2SEC(9999), 99 * 60 + 99);
  EXPECT_EQ(TIME2SEC(INT_MAX), 214748 * 3600 + 36 * 60 + 47);
  EXPECT_EQ(TIME2SEC(INT_MIN), -(214748 * 3600 + 36 * 60 + 48));
}

// Durations convert both ways without loss; beyond 214748:36:47 SEC2TIME gives that longest
// duration (with the sign).
TEST(Sec2timeTest, RoundTripsWithTime2sec) {
  std::mt19937 rng(3600);
  std::uniform_int_distribution<int> secs(-773095007, 773095007);
  for (int i = 0; i < 100000; ++i) {
    const int s = secs(rng);
    ASSERT_EQ(TIME2SEC(SEC2TIME(s)), s) << s;
    const int t = SEC2TIME(s);
    ASSERT_EQ(SEC2TIME(TIME2SEC(t)), t) << t;
  }
  EXPECT_EQ(SEC2TIME(3661), 10101);
  EXPECT_EQ(SEC2TIME(-3661), -10101);
  EXPECT_EQ(SEC2TIME(773095007), INT_MAX);
  EXPECT_EQ(SEC2TIME(773095008), INT_MAX);
  EXPECT_EQ(SEC2TIME(INT_MAX), INT_MAX);
  EXPECT_EQ(SEC2TIME(INT_MIN), -INT_MAX);
}

TEST(CurrecTest, FindsTheStepThatHoldsTheTime) {
  int cdate = 0, ctime = 0;
  EXPECT_EQ(CURREC(2024001, 23000, 2024001, 0, 10000, cdate, ctime), 3);
  EXPECT_EQ(cdate, 2024001);
  EXPECT_EQ(ctime, 20000);
  // A negative step counts by its magnitude.
  EXPECT_EQ(CURREC(2024002, 10000, 2024001, 0, -10000, cdate, ctime), 26);
  EXPECT_EQ(ctime, 10000);
  EXPECT_EQ(CURREC(2023365, 230000, 2024001, 0, 10000, cdate, ctime), -1);
  EXPECT_EQ(CURREC(10000001, 0, 2024001, 0, 10000, cdate, ctime), -1);
  EXPECT_EQ(CURREC(1, 2, 2024001, 5, 0, cdate, ctime), 1);
  EXPECT_EQ(cdate, 2024001);
  EXPECT_EQ(ctime, 5);
}

// Spans longer than 68 years are counted exactly, not through a wrapped 32-bit difference.
TEST(CurrecTest, CountsSpansBeyondThirtyTwoBitsOfSeconds) {
  int cdate = 0, ctime = 0;
  EXPECT_EQ(CURREC(2000001, 10000, 1900001, 0, 10000, cdate, ctime), 36524 * 24 + 2);
  EXPECT_EQ(cdate, 2000001);
  EXPECT_EQ(ctime, 10000);
  // A record number beyond int is no record.
  EXPECT_EQ(CURREC(10000000, 0, INT_MIN, 0, 1, cdate, ctime), -1);
}

TEST(Jstep3Test, AnswersOnlyForTimesOnAStep) {
  EXPECT_EQ(JSTEP3(2024001, 23000, 2024001, 0, 10000), -1);
  EXPECT_EQ(JSTEP3(2024001, 20000, 2024001, 0, 10000), 3);
  EXPECT_EQ(JSTEP3(2023365, 0, 2024001, 0, 10000), -1);
  EXPECT_EQ(JSTEP3(1, 2, 2024001, 0, 0), 1);
  // An unnormalised time names the same instant as its normalised form.
  EXPECT_EQ(JSTEP3(2024001, 240000, 2024001, 0, 10000), 25);
}

// The k-th step after the start is record k + 1, and a second later is on no step.
TEST(Jstep3Test, NumbersEveryStepFromAnyStart) {
  std::mt19937 rng(33);
  std::uniform_int_distribution<int> period(2, 3000000), count(0, 200);
  for (int i = 0; i < 20000; ++i) {
    const int sdate = random_date(rng), stime = random_time(rng);
    const int tstep = SEC2TIME(period(rng)), k = count(rng);
    Stepped at{sdate, stime};
    for (int j = 0; j < k; ++j) at = stepped(at.date, at.time, tstep);
    ASSERT_EQ(JSTEP3(at.date, at.time, sdate, stime, tstep), k + 1)
        << sdate << " " << stime << " " << tstep << " " << k;
    const Stepped later = stepped(at.date, at.time, 1);
    ASSERT_EQ(JSTEP3(later.date, later.time, sdate, stime, tstep), -1);
    int cdate = 0, ctime = 0;
    ASSERT_EQ(CURREC(later.date, later.time, sdate, stime, tstep, cdate, ctime), k + 1);
    ASSERT_EQ(cdate, at.date);
    ASSERT_EQ(ctime, at.time);
  }
}

// Absurd values never overflow (the sanitizer build stops on any), and results stay in range.
TEST(DatesTest, ExtremeInputsAreSafe) {
  const int values[] = {INT_MIN, INT_MIN + 1, -10000001, -999999,     -1,     0, 1, 999, 1000, 1001,
                        235959,  2024001,     10000001,  INT_MAX - 1, INT_MAX};
  for (int a : values) {
    for (int b : values) {
      for (int c : values) {
        Stepped s = stepped(a, b, c);
        EXPECT_GE(s.time, 0);
        EXPECT_LE(s.time, 235959);
        (void)SECSDIFF(a, b, c, a);
        int cdate = 0, ctime = 0;
        (void)CURREC(a, b, c, a, b, cdate, ctime);
        (void)CURREC(c, b, a, b, c, cdate, ctime);
        (void)JSTEP3(a, b, c, a, b);
        (void)DT2STR(a, b);
      }
      (void)HHMMSS(a);
      (void)MMDDYY(a);
      (void)TIME2SEC(a);
      (void)SEC2TIME(a);
    }
  }
  // A date past the int range saturates and stays there: never a valid date.
  EXPECT_EQ(stepped(INT_MAX, 0, 0).date, INT_MAX);
  EXPECT_EQ(stepped(INT_MIN, 0, -INT_MAX).date, INT_MIN);
  EXPECT_EQ(MMDDYY(INT_MAX).padded(), "<DATE ERROR>  ");
}

struct TextCase {
  int value;
  std::string_view want;
};

TEST(HhmmssTest, WritesHoursMinutesSeconds) {
  const TextCase cases[] = {
      {0, "0:00:00   "},        {93000, "9:30:00   "},     {1000000, "100:00:00 "},
      {99995959, "9999:59:59"}, {100000000, "<TIMERROR>"}, {INT_MAX, "<TIMERROR>"},
      {-93000, "-9:30:00  "},   {-9995959, "-999:59:59"},  {-10000000, "<TIMERROR>"},
      {INT_MIN, "<TIMERROR>"},  {999999, "99:99:99  "},
  };
  for (const auto& c : cases) EXPECT_EQ(HHMMSS(c.value).padded(), c.want) << c.value;
}

TEST(MmddyyTest, WritesMonthDayYear) {
  const TextCase cases[] = {
      {2024033, "Feb. 2, 2024  "}, {2024091, "March 31, 2024"},  {2024366, "Dec. 31, 2024 "},
      {2023366, "<DATE ERROR>  "}, {2024060, "Feb. 29, 2024 "},  {2023060, "March 1, 2023 "},
      {2024061, "March 1, 2024 "}, {2024001, "Jan. 1, 2024  "},  {5001, "Jan. 1, 0005  "},
      {9999365, "Dec. 31, 9999 "}, {10000001, "<DATE ERROR>  "}, {60, "Feb. 29, -000 "},
      {-999, "Jan. 1, -001  "},    {-3940, "Feb. 29, -004 "},    {-999999, "Jan. 1, -1000 "},
      {-999727, "<DATE ERROR>  "}, {-1000000, "<DATE ERROR>  "}, {2024000, "<DATE ERROR>  "},
      {2024274, "Sept. 30, 2024"}, {2024275, "Oct. 1, 2024  "},
  };
  for (const auto& c : cases) EXPECT_EQ(MMDDYY(c.value).padded(), c.want) << c.value;
}

TEST(Dt2strTest, NormalisesThenJoinsTimeAndDate) {
  EXPECT_EQ(DT2STR(2024033, 123000).padded(), "12:30:00  Feb. 2, 2024  ");
  EXPECT_EQ(DT2STR(2023365, 240000).padded(), "0:00:00   Jan. 1, 2024  ");
  EXPECT_EQ(DT2STR(2024000, 0).padded(), "0:00:00   Dec. 31, 2023 ");
}

}  // namespace
}  // namespace kavro
