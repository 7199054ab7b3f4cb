#include "reporter/core/flow/ExceptionHistory.h"

#include <gtest/gtest.h>

using namespace ruvex;

namespace {

constexpr std::uint64_t kNow = 13'000'000'000;

// `count` exceptions, the newest now, one every `spacing` seconds.
TExceptionHistory Burst(int count, std::uint64_t spacing) {
  TExceptionHistory history;
  for (int i = count - 1; i >= 0; --i) history.Record(kNow - static_cast<std::uint64_t>(i) * spacing);
  return history;
}

}  // namespace

TEST(ExceptionHistory, RecordKeepsTheTenNewestNewestFirst) {
  TExceptionHistory history;
  for (std::uint64_t t = 1; t <= 12; ++t) history.Record(t);
  THistoryTimes expected{12, 11, 10, 9, 8, 7, 6, 5, 4, 3};
  EXPECT_EQ(history.Times(), expected);
}

TEST(ExceptionHistory, AutoRule) {
  struct TCase {
    std::int32_t rule;
    int count;
    std::uint64_t spacing;
    bool applies;
  } cases[] = {
      {0, 10, 1, false},    // never
      {-5, 10, 1, false},   // negative counts as never
      {1, 1, 1000, true},   // always, even for the first exception
      {120, 3, 1, false},   // fewer than ten so far
      {120, 10, 13, true},  // ten within 117 s
      {120, 10, 14, false}, // the oldest is 126 s ago
      {120, 12, 13, true},  // only the ten newest count
      {2, 10, 0, true},     // all at once
  };
  for (const auto& c : cases)
    EXPECT_EQ(AutoRuleApplies(c.rule, Burst(c.count, c.spacing), kNow), c.applies)
        << "rule " << c.rule << ", " << c.count << " exceptions every " << c.spacing << " s";
}

TEST(ExceptionHistory, TimesAheadOfTheClockCountAsRecent) {
  TExceptionHistory history;
  for (int i = 0; i < 10; ++i) history.Record(kNow + 50);
  EXPECT_TRUE(AutoRuleApplies(120, history, kNow));
}

TEST(ExceptionHistory, AutomaticDecision) {
  const TExceptionHistory few = Burst(3, 1);
  const TExceptionHistory burst = Burst(10, 1);
  struct TCase {
    std::int32_t autoClose, autoRestart;
    bool canContinue;
    const TExceptionHistory* history;
    TAutoDecision expected;
  } cases[] = {
      {0, 0, true, &few, TAutoDecision::continueApplication},
      {0, 0, false, &few, TAutoDecision::closeApplication},
      {0, 1, false, &few, TAutoDecision::restartApplication},
      {1, 1, true, &few, TAutoDecision::closeApplication},  // close wins
      {0, 120, true, &few, TAutoDecision::continueApplication},
      {0, 120, true, &burst, TAutoDecision::restartApplication},
      {0, 120, false, &few, TAutoDecision::closeApplication},
      {60, 0, true, &burst, TAutoDecision::closeApplication},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecideAutomaticAction(c.autoClose, c.autoRestart, c.canContinue, *c.history, kNow), c.expected)
        << "close " << c.autoClose << " restart " << c.autoRestart << " continue " << c.canContinue;
}
