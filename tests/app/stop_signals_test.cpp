#include "app/cli/stop_signals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

struct SignalRow {
  const char* name;
  int signal;
  int exitStatus;
  const char* signalName;
};

class StopSignalsTest : public ::testing::TestWithParam<SignalRow> {};

TEST_P(StopSignalsTest, AskTheWorkToStopAndSayWhich) {
  std::atomic<bool> stopRequested{false};
  {
    StopSignals signals(stopRequested);
    EXPECT_EQ(signals.Caught(), 0);
    std::raise(GetParam().signal);
    EXPECT_TRUE(stopRequested);
    EXPECT_EQ(signals.Caught(), GetParam().signal);
  }
  EXPECT_EQ(ExitStatusForSignal(GetParam().signal), GetParam().exitStatus);
  EXPECT_STREQ(SignalName(GetParam().signal), GetParam().signalName);
}

INSTANTIATE_TEST_SUITE_P(StopSignals, StopSignalsTest,
                         ::testing::Values(SignalRow{"Interrupt", SIGINT, 130, "SIGINT"},
                                           SignalRow{"Terminate", SIGTERM, 143, "SIGTERM"},
                                           SignalRow{"HangUp", SIGHUP, 129, "SIGHUP"}),
                         RowName{});

TEST(StopSignals, TheFirstSignalIsTheOneReported) {
  std::atomic<bool> stopRequested{false};
  StopSignals signals(stopRequested);
  std::raise(SIGTERM);
  // Only the handler of the signal that came falls back to the default.
  std::raise(SIGHUP);
  EXPECT_EQ(signals.Caught(), SIGTERM);
}

TEST(StopSignals, ASecondSignalEndsTheProgramAtOnce) {
  EXPECT_EXIT(
      {
        std::atomic<bool> stopRequested{false};
        StopSignals signals(stopRequested);
        std::raise(SIGINT);
        std::raise(SIGINT);
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGINT), "");
}

TEST(StopSignals, ASignalIgnoredAtTheStartStaysIgnored) {
  const auto previous = std::signal(SIGHUP, SIG_IGN);
  std::atomic<bool> stopRequested{false};
  {
    StopSignals signals(stopRequested);
    std::raise(SIGHUP);
    EXPECT_FALSE(stopRequested);
    EXPECT_EQ(signals.Caught(), 0);
  }
  std::signal(SIGHUP, previous);
}

TEST(StopSignals, HandlersAreRestoredAfterwards) {
  std::atomic<bool> stopRequested{false};
  { StopSignals signals(stopRequested); }
  struct sigaction current = {};
  sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace quillon
