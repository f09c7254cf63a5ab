// What the commands print on standard output, with every write checked: a full disk or an I/O
// error must not pass for a finished listing. A reader that went away (`quillon scan | head`)
// is no error to report: the rest of the output is simply not wanted.
#pragma once

#include <cstdio>
#include <string_view>

namespace quillon {

// Standard output as the commands write it: SIGPIPE is ignored so that a reader that went away
// shows as EPIPE on a write instead of ending the program.
class StandardOutput {
 public:
  StandardOutput();

  // Writes `text`; after the first failure nothing more is written.
  void Write(std::string_view text);
  // Flushes what is buffered. False when any write failed.
  [[nodiscard]] bool Finish();

  // Prints "quillon: cannot write to standard output: <reason>" (nothing when the reader went
  // away) and returns the exit status: 1, or 141 (128 + SIGPIPE, as a shell reports a command
  // its pipe reader left) when the reader went away.
  int ReportFailure() const;

 private:
  void NoteFailure();

  std::FILE* stream_;
  int error_ = 0;
};

}  // namespace quillon
