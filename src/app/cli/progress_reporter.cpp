#include "app/cli/progress_reporter.h"

#include <unistd.h>

#include <cstdio>

#include "output/scan_status_text.h"
#include "text/code_page.h"

namespace quillon {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;
}  // namespace

ProgressReporter::ProgressReporter(bool enabled)
    : enabled_(enabled), started_(std::chrono::steady_clock::now()) {}

bool ProgressReporter::StderrIsTerminal() {
  return ::isatty(STDERR_FILENO) == 1;
}

void ProgressReporter::OnProgressRange(std::uint64_t totalSectors) {
  total_ = totalSectors;
  started_ = std::chrono::steady_clock::now();
}

void ProgressReporter::OnProgressPosition(std::uint64_t sector) {
  position_ = sector;
}

void ProgressReporter::OnProgress(const ScanProgress& progress) {
  scanProgress_ = progress;
  Draw(false);
}

void ProgressReporter::OnScanFinished(int) {
  Clear();
}

void ProgressReporter::ShowSaving(std::size_t done, std::size_t total, const std::u16string& text) {
  position_ = done;
  total_ = total;
  scanProgress_.reset();
  text_ = text;
  Draw(false);
}

void ProgressReporter::Clear() {
  if (!enabled_ || !drawn_) return;
  // Up one line and clear both status lines.
  std::fputs("\r\x1b[2K\x1b[1A\r\x1b[2K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

void ProgressReporter::Draw(bool force) {
  if (!enabled_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && drawn_ && now - lastDraw_ < kRedrawInterval) return;
  lastDraw_ = now;
  // Worded only when drawn: counts come with every mail found.
  if (scanProgress_) text_ = ScanStatusText(*scanProgress_);

  std::string first = Utf16ToUtf8(text_);
  std::string second;
  if (const std::size_t lineBreak = first.find("\r\n"); lineBreak != std::string::npos) {
    second = first.substr(lineBreak + 2);
    first.resize(lineBreak);
  }
  const double fraction =
      total_ > 0 ? static_cast<double>(position_) / static_cast<double>(total_) : 0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string bar(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(kBarWidth - filled), '.');
  const double seconds = std::chrono::duration<double>(now - started_).count();
  const double mebibytes = static_cast<double>(position_) * 512.0 / (1024.0 * 1024.0);
  const double rate = seconds > 0 ? mebibytes / seconds : 0;

  if (drawn_) std::fputs("\r\x1b[1A", stderr);
  std::fprintf(stderr, "\r\x1b[2K%s\n\r\x1b[2K[%s] %5.1f%%  %s  %.1f MiB/s", first.c_str(),
               bar.c_str(), fraction * 100, second.c_str(), rate);
  std::fflush(stderr);
  drawn_ = true;
}

}  // namespace quillon
