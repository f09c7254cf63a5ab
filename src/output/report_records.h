// What the reports of a save run say: plain records that the save run fills from the found
// mails, the files it wrote and the re-reader's byte runs, and that the report writers
// (csv_report_writer.h, dfxml_report_writer.h) turn into files. Text fields are UTF-8 as far as
// the mail's text decodes; the writers replace what is not valid UTF-8, so carved bytes of any
// kind cannot break a report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scan/read/source_digest.h"

namespace quillon {

// A stretch of a saved file's bytes and where they stand in the source: `length` bytes from
// `fileOffset` on are the source's bytes from `imageOffset` on. A fill run stands for bytes the
// saved file holds in place of the source's (an unreadable sector, saved as zeros) and has no
// place in the source.
struct ByteRun {
  std::uint64_t fileOffset = 0;
  std::uint64_t imageOffset = 0;
  std::uint64_t length = 0;
  bool fill = false;          // the bytes are `fillByte`, not read from the source
  std::uint8_t fillByte = 0;  // zeros stand for unreadable sectors; a blank for a control byte

  bool operator==(const ByteRun&) const = default;
};

// One found mail, saved or not.
struct ReportedMail {
  std::size_t index = 0;  // 1-based, in found order
  std::string file;       // the saved file, relative to the output folder, '/' between
                          // folders; empty when the mail was not saved
  std::uint64_t sector = 0;
  std::uint32_t offset = 0;                // in the sector
  std::uint64_t bytes = 0;                 // of the mail's text as read back (the .eml file's size)
  std::string foundBy;                     // "trace" or "shape"
  std::optional<std::size_t> duplicateOf;  // 1-based index of the first copy
  std::optional<std::size_t> partOf;       // 1-based index of the mail it is attached to
  bool damaged = false;                    // some of its bytes could not be read from the source
  std::string date;
  std::string from;
  std::string to;
  std::string subject;
  std::string messageId;
  std::vector<std::string> attachments;  // file names
  std::uint64_t fileSize = 0;            // of the saved file
  std::string sha256;                    // of the saved file; empty when not saved
  // Where the saved file's bytes come from, in file order; empty when the file is no copy of
  // source bytes (a .txt rendering).
  std::vector<ByteRun> byteRuns;
};

// The source scanned.
struct ReportedSource {
  std::string name;
  std::uint64_t sizeBytes = 0;
  std::string container;            // "E01, 3 segments", ...; empty for a plain file or disk
  std::vector<DigestValue> hashes;  // of every byte read, when computed
};

// The program that wrote the report and how it was called.
struct ReportCreator {
  std::string program = "Quillon";
  std::string version;
  std::string commandLine;
  std::string startTime;  // ISO 8601, e.g. "2024-05-01T10:00:00Z"; empty when not known
};

}  // namespace quillon
