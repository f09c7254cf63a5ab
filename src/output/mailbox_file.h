// The mailbox a save run writes with the mbox format: filled mail by mail in a hidden temporary
// file of the target folder, and given its name only when it is whole, a name no file holds
// ("Mail Box.mbox", else "Mail Box_1.mbox", ...). Private to the save run.
#pragma once

#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "output/mbox_writer.h"

namespace quillon {

class MailboxFile {
 public:
  MailboxFile() = default;
  // Takes a temporary file away that was never given its name.
  ~MailboxFile();
  MailboxFile(const MailboxFile&) = delete;
  MailboxFile& operator=(const MailboxFile&) = delete;

  // Starts the temporary file in `folder`; false with `reason` when it cannot be made.
  [[nodiscard]] bool Open(const std::filesystem::path& folder, std::time_t scanTime,
                          std::string& reason);

  void Add(const MboxMessage& message);

  // Closes the file and gives it the name `baseName` + ".mbox" (or the first free "_N" name);
  // the path it got, or none with `reason` (nothing is left behind then).
  [[nodiscard]] std::optional<std::filesystem::path> Finish(const std::string& baseName,
                                                            std::string& reason);

 private:
  std::filesystem::path folder_;
  std::filesystem::path temporary_;
  std::ofstream stream_;
  std::optional<MboxWriter> writer_;
};

}  // namespace quillon
