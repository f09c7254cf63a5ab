// The reports of one save run, gathered while it runs and written when it ends: report.xml
// (DFXML) and report.csv in the folder the user chose. Private to the save run.
#pragma once

#include <cstddef>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "output/csv_report_writer.h"
#include "output/dfxml_report_writer.h"
#include "output/report_records.h"
#include "scan/mail_record.h"

namespace quillon {

class SaveReport {
 public:
  SaveReport(const ReportCreator& creator, const ReportedSource& source);

  void Add(const ReportedMail& mail);

  // Writes both files into `folder`, never replacing a file: as report.xml and report.csv, or
  // when either name is taken as report_1.xml and report_1.csv, report_2..., the first number
  // whose two names are free. The paths written go to `written`; false with `reason` when a file
  // could not be written.
  [[nodiscard]] bool Place(const std::filesystem::path& folder,
                           std::vector<std::filesystem::path>& written, std::string& reason);

 private:
  std::ostringstream xml_;
  std::ostringstream csv_;
  DfxmlReportWriter dfxml_;
  CsvReportWriter csvWriter_;
};

// What a report says of a found mail before it is saved: its place, how it was found, its
// header fields (decoded, UTF-8; the date in `ansiCodePage`) and attachments. `index` is 1-based.
ReportedMail ReportedMailOf(const MailRecord& record, std::size_t index, int ansiCodePage);

// Lower-case hex SHA-256 of `bytes`.
std::string Sha256Hex(std::string_view bytes);

}  // namespace quillon
