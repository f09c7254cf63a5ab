#include "support/corpus_manifest.h"

#include <fstream>
#include <sstream>

#include "support/paths.h"

namespace quillon::test {

std::vector<CorpusManifestRow> CorpusManifest() {
  std::vector<CorpusManifestRow> rows;
  const auto messages = CorpusMessagesDir();
  if (!messages) return rows;
  std::ifstream manifest(messages->parent_path() / "MANIFEST.tsv");
  std::string line;
  std::getline(manifest, line);  // the column names
  while (std::getline(manifest, line)) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
    if (fields.size() < 10) continue;
    CorpusManifestRow row;
    row.file = *messages / fields[0];
    row.multipart = fields[7] == "yes";
    row.attachments = std::atoi(fields[8].c_str());
    row.note = fields[9];
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace quillon::test
