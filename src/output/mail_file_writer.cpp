#include "output/mail_file_writer.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#include "source/rename_without_replacing.h"
#include "text/case_folding.h"
#include "text/code_page.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

constexpr int kTemporaryNameTries = 100;

std::string ErrorText(int error) {
  return error != 0 ? std::generic_category().message(error) : std::string("write failed");
}

std::u16string FoldedName(const std::string& fileName) {
  return FoldCase(Utf8ToUtf16(fileName));
}

bool FileHolds(const fs::path& path, std::string_view content) {
  std::error_code error;
  if (!fs::is_regular_file(path, error) || fs::file_size(path, error) != content.size() || error)
    return false;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::array<char, 1 << 16> buffer;
  std::size_t compared = 0;
  bool same = true;
  while (same) {
    const std::size_t arrived = std::fread(buffer.data(), 1, buffer.size(), file);
    if (arrived == 0) break;
    same = compared + arrived <= content.size() &&
           content.compare(compared, arrived, std::string_view(buffer.data(), arrived)) == 0;
    compared += arrived;
  }
  const bool readWhole = !std::ferror(file) && compared == content.size();
  std::fclose(file);
  return same && readWhole;
}

// Creates a new hidden temporary file in `folder` ("x": never one that exists, so two runs never
// share one) and writes `content` into it. Empty path and `reason` set on failure, with nothing
// left behind.
fs::path WriteTemporary(const fs::path& folder, std::string_view content, std::string& reason) {
  const auto [path, file] = CreateTemporaryFile(folder, reason);
  if (!file) return {};
  // The content is whole in memory: one write of it, with no copy through a stream buffer (and
  // no look at the file's block size to size one).
  std::setvbuf(file, nullptr, _IONBF, 0);
  bool written = std::fwrite(content.data(), 1, content.size(), file) == content.size();
  int error = written ? 0 : errno;
  // A full disk often shows only when the buffered bytes go out.
  if (std::fflush(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (std::fclose(file) != 0 && written) {
    written = false;
    error = errno;
  }
  if (written) return path;
  reason = ErrorText(error);
  std::error_code ignored;
  fs::remove(path, ignored);
  return {};
}

}  // namespace

TemporaryFile CreateTemporaryFile(const fs::path& folder, std::string& reason) {
  static thread_local std::mt19937_64 numbers{std::random_device{}()};
  for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
    const fs::path path = folder / (".quillon-save-" + std::to_string(numbers()) + ".tmp");
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (!file && errno == EEXIST) continue;
    if (!file) {
      reason = ErrorText(errno);
      return {};
    }
    return {path, file};
  }
  reason = "no free temporary name";
  return {};
}

MailFileWriter::MailFileWriter(fs::path folder) : folder_(std::move(folder)) {
  std::error_code error;
  for (fs::directory_iterator entry(folder_, error), end; !error && entry != end;
       entry.increment(error))
    Remember(entry->path().filename().string());
}

PlaceOutcome MailFileWriter::Place(const std::string& fileName, std::string_view content,
                                   std::string& reason) {
  std::u16string folded = FoldedName(fileName);
  const std::vector<std::string> alike = NamesLike(folded);
  if (!alike.empty())
    return AnyHolds(alike, content) ? PlaceOutcome::AlreadyThere : PlaceOutcome::NameTaken;

  const fs::path temporary = WriteTemporary(folder_, content, reason);
  if (temporary.empty()) return PlaceOutcome::Failed;
  const fs::path target = folder_ / fileName;
  std::error_code error;
  const RenameOutcome renamed = RenameWithoutReplacing(temporary, target, error);
  if (renamed != RenameOutcome::Renamed) {
    std::error_code ignored;
    fs::remove(temporary, ignored);
  }
  switch (renamed) {
    case RenameOutcome::Renamed:
      existing_.emplace(std::move(folded), fileName);
      return PlaceOutcome::Written;
    case RenameOutcome::NameTaken:
      // Made since the folder was listed (another run), or a case variant the file system
      // itself folds.
      existing_.emplace(std::move(folded), fileName);
      return FileHolds(target, content) ? PlaceOutcome::AlreadyThere : PlaceOutcome::NameTaken;
    case RenameOutcome::Failed:
      break;
  }
  reason = error.message();
  return PlaceOutcome::Failed;
}

std::vector<std::string> MailFileWriter::NamesLike(const std::u16string& foldedName) const {
  std::vector<std::string> names;
  const auto [first, last] = existing_.equal_range(foldedName);
  for (auto at = first; at != last; ++at) names.push_back(at->second);
  return names;
}

bool MailFileWriter::AnyHolds(const std::vector<std::string>& names,
                              std::string_view content) const {
  for (const std::string& name : names)
    if (FileHolds(folder_ / name, content)) return true;
  return false;
}

void MailFileWriter::Remember(const std::string& fileName) {
  existing_.emplace(FoldedName(fileName), fileName);
}

}  // namespace quillon
