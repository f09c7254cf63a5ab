#include "output/save_report.h"

#include <system_error>

#include "output/mail_file_writer.h"
#include "source/digest_library.h"
#include "text/code_page.h"

namespace quillon {

namespace {

// More numbered reports than any folder holds.
constexpr std::size_t kMaxReportNumbers = 10000;

std::string ReportName(std::size_t number, const char* extension) {
  return (number == 0 ? std::string("report") : "report_" + std::to_string(number)) + extension;
}

bool Exists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

}  // namespace

SaveReport::SaveReport(const ReportCreator& creator, const ReportedSource& source)
    : dfxml_(xml_, creator, source), csvWriter_(csv_) {}

void SaveReport::Add(const ReportedMail& mail) {
  dfxml_.Add(mail);
  csvWriter_.Add(mail);
}

bool SaveReport::Place(const std::filesystem::path& folder,
                       std::vector<std::filesystem::path>& written, std::string& reason) {
  if (!dfxml_.Finish() || !csvWriter_.Finish()) {
    reason = "the report could not be put together";
    return false;
  }
  const std::string xml = xml_.str();
  const std::string csv = csv_.str();
  MailFileWriter writer(folder);
  for (std::size_t number = 0; number < kMaxReportNumbers; ++number) {
    const std::string xmlName = ReportName(number, ".xml");
    const std::string csvName = ReportName(number, ".csv");
    // A pair keeps one number; the writer below still refuses a name taken meanwhile.
    if (Exists(folder / xmlName) || Exists(folder / csvName)) continue;
    const PlaceOutcome xmlPlaced = writer.Place(xmlName, xml, reason);
    if (xmlPlaced == PlaceOutcome::NameTaken) continue;
    if (xmlPlaced == PlaceOutcome::Failed) return false;
    written.push_back(folder / xmlName);
    for (std::size_t csvNumber = number; csvNumber < kMaxReportNumbers; ++csvNumber) {
      const std::string name = ReportName(csvNumber, ".csv");
      const PlaceOutcome csvPlaced = writer.Place(name, csv, reason);
      if (csvPlaced == PlaceOutcome::NameTaken) continue;
      if (csvPlaced == PlaceOutcome::Failed) return false;
      written.push_back(folder / name);
      return true;
    }
    break;
  }
  reason = "no free report name";
  return false;
}

ReportedMail ReportedMailOf(const MailRecord& record, std::size_t index, int ansiCodePage) {
  ReportedMail mail;
  mail.index = index;
  mail.sector = record.startSector;
  mail.offset = record.sectorOffset;
  mail.foundBy = record.foundBy == FoundBy::Trace ? "trace" : "shape";
  if (record.duplicateOf >= 0) mail.duplicateOf = static_cast<std::size_t>(record.duplicateOf) + 1;
  if (record.partOf >= 0) mail.partOf = static_cast<std::size_t>(record.partOf) + 1;
  mail.damaged = record.damaged;
  mail.date = Utf16ToUtf8(AnsiToUtf16(record.date, ansiCodePage));
  mail.from = Utf16ToUtf8(record.FromText());
  mail.to = Utf16ToUtf8(record.ToText());
  mail.subject = Utf16ToUtf8(record.SubjectText());
  mail.messageId = record.messageId;
  for (const PartEntry& entry : record.attachments)
    mail.attachments.push_back(Utf16ToUtf8(entry.nameText));
  for (const PartEntry& entry : record.ReadBody([](const BodyFacts& body) { return body.parts; }))
    if (!entry.nameText.empty()) mail.attachments.push_back(Utf16ToUtf8(entry.nameText));
  return mail;
}

std::string Sha256Hex(std::string_view bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  std::string unloaded;
  const DigestLibrary* crypto = LoadDigestLibrary(unloaded);
  if (!crypto || crypto->digestAtOnce(bytes.data(), bytes.size(), digest, &size, crypto->sha256(),
                                      nullptr) != 1)
    return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(size * 2);
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

}  // namespace quillon
