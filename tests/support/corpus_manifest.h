// The rows of the mail corpus's MANIFEST.tsv: what each message is said to hold, so that a test
// over the corpus can pick the messages a property is meant for.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quillon::test {

struct CorpusManifestRow {
  std::filesystem::path file;  // full path of the message
  bool multipart = false;
  int attachments = 0;
  std::string note;

  // The parser-torture fixtures break the rules on purpose.
  bool Malformed() const { return note.find("MALFORMED") != std::string::npos; }
};

// Empty when the corpus is absent.
std::vector<CorpusManifestRow> CorpusManifest();

}  // namespace quillon::test
