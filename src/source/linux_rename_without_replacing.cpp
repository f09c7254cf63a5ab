#if defined(__linux__)

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "source/rename_without_replacing.h"

namespace quillon {

namespace {

bool FlagNotSupported(int error) {
  return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

RenameOutcome Fail(int code, std::error_code& error) {
  error = std::error_code(code, std::generic_category());
  return RenameOutcome::Failed;
}

// Where neither the no-replace flag nor hard links exist: the name is claimed by creating it
// exclusively, then the finished file replaces that empty claim, which is ours alone.
RenameOutcome RenameOverClaim(const char* from, const char* to, std::error_code& error) {
  const int claim = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (claim < 0) {
    if (errno == EEXIST) return RenameOutcome::NameTaken;
    return Fail(errno, error);
  }
  ::close(claim);
  if (::rename(from, to) != 0) {
    const int code = errno;
    ::unlink(to);
    return Fail(code, error);
  }
  return RenameOutcome::Renamed;
}

}  // namespace

RenameOutcome RenameWithoutReplacing(const std::filesystem::path& from,
                                     const std::filesystem::path& to, std::error_code& error) {
  error.clear();
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return RenameOutcome::Renamed;
  if (errno == EEXIST) return RenameOutcome::NameTaken;
  if (!FlagNotSupported(errno)) return Fail(errno, error);

  // Some network and older file systems lack the flag; a hard link refuses a taken name too.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return RenameOutcome::Renamed;
  }
  if (errno == EEXIST) return RenameOutcome::NameTaken;
  if (errno != EPERM && !FlagNotSupported(errno)) return Fail(errno, error);
  return RenameOverClaim(from.c_str(), to.c_str(), error);
}

}  // namespace quillon

#endif  // __linux__
