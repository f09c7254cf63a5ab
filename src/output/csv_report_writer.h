// report.csv: one row per found mail, saved or not, in UTF-8 (no byte-order mark) with a header
// row, fields separated by commas and quoted as RFC 4180 says, rows ended by CR LF.
//
// Columns: index, file, sector, offset, bytes, found_by, duplicate_of, part_of, damaged, date,
// from, to, subject, message_id, attachments, sha256. duplicate_of and part_of are empty for
// none; damaged is "yes" or "no"; attachments holds one file name per line of the field.
//
// A text field that would begin with =, +, -, @, TAB or CR gets a leading apostrophe, so that a
// spreadsheet shows a hostile subject instead of running it as a formula.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "output/report_records.h"

namespace quillon {

class CsvReportWriter {
 public:
  // Writes the header row at once.
  explicit CsvReportWriter(std::ostream& out);

  void Add(const ReportedMail& mail);

  // Flushes; false when any write failed.
  [[nodiscard]] bool Finish();

 private:
  std::ostream& out_;
};

// One field as it stands in a row: quoted when it holds a comma, a quote, CR or LF (quotes
// doubled); invalid UTF-8 replaced by U+FFFD. `text` fields are guarded against formulas.
std::string CsvField(std::string_view value, bool text);

}  // namespace quillon
