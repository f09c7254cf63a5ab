#include "output/mail_file_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace quillon {

namespace {

std::string ErrorText(int error) {
  return error != 0 ? std::generic_category().message(error) : std::string("write failed");
}

// Writes and closes; false with the reason when any step fails.
bool WriteWhole(const std::filesystem::path& path, std::string_view content, std::string& reason) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    reason = ErrorText(errno);
    return false;
  }
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
  if (!written) reason = ErrorText(error);
  return written;
}

}  // namespace

bool WriteMailFile(const std::filesystem::path& path, std::string_view content, std::size_t tag,
                   std::string& reason) {
  const std::filesystem::path temporary =
      path.parent_path() / (".quillon-save-" + std::to_string(tag) + ".tmp");
  std::error_code error;
  if (!WriteWhole(temporary, content, reason)) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  std::filesystem::rename(temporary, path, error);
  if (error) {
    reason = error.message();
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace quillon
