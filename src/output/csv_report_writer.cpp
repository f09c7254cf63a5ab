#include "output/csv_report_writer.h"

#include "output/report_text.h"

namespace quillon {

namespace {

constexpr std::string_view kHeader =
    "index,file,sector,offset,bytes,found_by,duplicate_of,part_of,damaged,date,from,to,subject,"
    "message_id,attachments,sha256\r\n";

std::string Number(std::optional<std::size_t> value) {
  return value ? std::to_string(*value) : std::string();
}

std::string Lines(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += '\n';
    // A line break inside a name would read as two names.
    for (char c : name) joined += c == '\r' || c == '\n' ? ' ' : c;
  }
  return joined;
}

}  // namespace

std::string CsvField(std::string_view value, bool text) {
  std::string field = report_text::ValidUtf8(value);
  if (text && !field.empty() && std::string_view("=+-@\t\r").find(field[0]) != std::string::npos)
    field.insert(0, 1, '\'');
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

CsvReportWriter::CsvReportWriter(std::ostream& out) : out_(out) {
  out_ << kHeader;
}

void CsvReportWriter::Add(const ReportedMail& mail) {
  std::string row;
  auto add = [&row](std::string_view value, bool text) {
    if (!row.empty()) row += ',';
    row += CsvField(value, text);
  };
  add(std::to_string(mail.index), false);
  add(mail.file, true);
  add(std::to_string(mail.sector), false);
  add(std::to_string(mail.offset), false);
  add(std::to_string(mail.bytes), false);
  add(mail.foundBy, false);
  add(Number(mail.duplicateOf), false);
  add(Number(mail.partOf), false);
  add(mail.damaged ? "yes" : "no", false);
  add(mail.date, true);
  add(mail.from, true);
  add(mail.to, true);
  add(mail.subject, true);
  add(mail.messageId, true);
  add(Lines(mail.attachments), true);
  add(mail.sha256, false);
  row += "\r\n";
  out_ << row;
}

bool CsvReportWriter::Finish() {
  out_.flush();
  return static_cast<bool>(out_);
}

}  // namespace quillon
