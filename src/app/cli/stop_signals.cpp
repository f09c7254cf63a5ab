#include "app/cli/stop_signals.h"

#include <csignal>
#include <iterator>

namespace quillon {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler reaches the running work only through state like this; lock-free atomics are
// safe to touch there.
std::atomic<std::atomic<bool>*> stopTarget{nullptr};
std::atomic<int> caughtSignal{0};
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

struct sigaction previousActions[sizeof kStopSignals / sizeof kStopSignals[0]];

extern "C" void OnStopSignal(int signal) {
  int none = 0;
  caughtSignal.compare_exchange_strong(none, signal);
  if (std::atomic<bool>* target = stopTarget.load()) target->store(true);
}

}  // namespace

StopSignals::StopSignals(std::atomic<bool>& stopRequested) {
  caughtSignal = 0;
  stopTarget = &stopRequested;
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  // The first signal asks; the handler then falls back to the default, so the second one ends
  // the program. Reads and writes resume after the handler rather than fail with EINTR.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
    sigaction(kStopSignals[i], nullptr, &previousActions[i]);
    // A signal ignored by whoever started us (nohup, a background job) stays ignored.
    if (previousActions[i].sa_handler == SIG_IGN) continue;
    sigaction(kStopSignals[i], &action, nullptr);
  }
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
    sigaction(kStopSignals[i], &previousActions[i], nullptr);
  stopTarget = nullptr;
}

int StopSignals::Caught() const {
  return caughtSignal.load();
}

int ExitStatusForSignal(int signal) {
  return 128 + signal;
}

const char* SignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace quillon
