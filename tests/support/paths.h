// Where tests find the project, its build and the shared mail corpus.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon::test {

std::filesystem::path SourceDir();
std::filesystem::path BinaryDir();

// The folder of real messages beside the project (../shared/corpus/messages), or
// $QUILLON_CORPUS_DIR. Empty when absent; callers GTEST_SKIP with CorpusMissingMessage().
std::optional<std::filesystem::path> CorpusMessagesDir();
std::string CorpusMissingMessage();
// The corpus files in name order (empty when the corpus is absent).
std::vector<std::filesystem::path> CorpusMessageFiles();

std::string ReadFileBytes(const std::filesystem::path& path);

// A fresh directory under the build tree, removed when the object is destroyed.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace quillon::test
