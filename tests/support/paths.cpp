#include "support/paths.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quillon::test {

std::filesystem::path SourceDir() {
  return QUILLON_SOURCE_DIR;
}
std::filesystem::path BinaryDir() {
  return QUILLON_BINARY_DIR;
}

std::optional<std::filesystem::path> CorpusMessagesDir() {
  std::filesystem::path dir;
  if (const char* env = std::getenv("QUILLON_CORPUS_DIR"); env && *env)
    dir = env;
  else
    dir = SourceDir().parent_path() / "shared" / "corpus" / "messages";
  std::error_code error;
  if (!std::filesystem::is_directory(dir, error)) return std::nullopt;
  return dir;
}

std::string CorpusMissingMessage() {
  return "mail corpus not found (expected ../shared/corpus/messages beside the project, or "
         "QUILLON_CORPUS_DIR); skipping";
}

std::vector<std::filesystem::path> CorpusMessageFiles() {
  std::vector<std::filesystem::path> files;
  auto dir = CorpusMessagesDir();
  if (!dir) return files;
  for (const auto& entry : std::filesystem::directory_iterator(*dir))
    if (entry.is_regular_file() && entry.path().extension() == ".eml")
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TemporaryDirectory::TemporaryDirectory() {
  static std::atomic<int> counter{0};
  path_ = BinaryDir() / "test-tmp" /
          ("t" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace quillon::test
