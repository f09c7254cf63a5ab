#include "app/cli/standard_output.h"

#include <cerrno>
#include <csignal>
#include <cstring>

namespace quillon {

namespace {
constexpr int kReaderGoneStatus = 128 + SIGPIPE;
}  // namespace

StandardOutput::StandardOutput() : stream_(stdout) {
  std::signal(SIGPIPE, SIG_IGN);
}

void StandardOutput::Write(std::string_view text) {
  if (error_ != 0 || text.empty()) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size()) NoteFailure();
}

bool StandardOutput::Finish() {
  if (error_ == 0) {
    errno = 0;
    if (std::fflush(stream_) != 0 || std::ferror(stream_)) NoteFailure();
  }
  return error_ == 0;
}

int StandardOutput::ReportFailure() const {
  if (error_ == EPIPE) return kReaderGoneStatus;
  std::fprintf(stderr, "quillon: cannot write to standard output: %s\n", std::strerror(error_));
  return 1;
}

void StandardOutput::NoteFailure() {
  error_ = errno != 0 ? errno : EIO;
}

}  // namespace quillon
