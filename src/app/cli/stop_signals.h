// SIGINT (Ctrl-C), SIGTERM and SIGHUP stop a command cleanly: the work in hand asks to stop
// through its stop flag, what was found is still printed or saved whole, and the exit status
// says which signal stopped the run (128 + its number: 130, 143, 129). A second signal ends the
// program at once, for a user who does not want to wait. A signal the program was started with
// ignored (nohup) stays ignored.
#pragma once

#include <atomic>

namespace quillon {

class StopSignals {
 public:
  // Installs the handlers, which set `stopRequested`, for the object's lifetime. One at a time.
  explicit StopSignals(std::atomic<bool>& stopRequested);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal that asked for a stop, or 0.
  int Caught() const;
};

// 128 + the signal number, as a shell reports a command that a signal ended.
int ExitStatusForSignal(int signal);
// "SIGINT", "SIGTERM", "SIGHUP" (or "a signal" for any other).
const char* SignalName(int signal);

}  // namespace quillon
