// Writes report.csv, report.xml and mailbox.mbox from records given in a file, so that
// tests/e2e/report_readback_test.py can read them back with readers of its own.
//
// usage: quillon_report_writer_probe INPUT OUTPUT_FOLDER
//
// INPUT has one "key hex" pair per line, the value's bytes in hex (so that any byte, a line
// break or invalid UTF-8 included, passes unchanged). "mail" begins a report record and
// "message" a mailbox message; the keys after them fill it (see Apply below).
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "output/csv_report_writer.h"
#include "output/dfxml_report_writer.h"
#include "output/mbox_writer.h"

namespace {

using namespace quillon;

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return bytes;
}

std::uint64_t Number(const std::string& text) {
  std::uint64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

struct MessageInput {
  std::string bytes;
  std::string sender;
  std::string date;
};

struct Input {
  ReportCreator creator;
  ReportedSource source;
  std::vector<ReportedMail> mails;
  std::vector<MessageInput> messages;
  std::time_t scanTime = 0;
};

// "fileOffset:imageOffset:len", or "fileOffset:fill:len" for zeros.
ByteRun Run(const std::string& text) {
  const std::size_t first = text.find(':');
  const std::size_t second = text.find(':', first + 1);
  ByteRun run;
  run.fileOffset = Number(text.substr(0, first));
  const std::string image = text.substr(first + 1, second - first - 1);
  run.fill = image == "fill";
  if (!run.fill) run.imageOffset = Number(image);
  run.length = Number(text.substr(second + 1));
  return run;
}

bool Apply(Input& input, const std::string& key, const std::string& value) {
  ReportedMail* mail = input.mails.empty() ? nullptr : &input.mails.back();
  MessageInput* message = input.messages.empty() ? nullptr : &input.messages.back();
  if (key == "creator.version")
    input.creator.version = value;
  else if (key == "creator.command_line")
    input.creator.commandLine = value;
  else if (key == "creator.start_time")
    input.creator.startTime = value;
  else if (key == "source.name")
    input.source.name = value;
  else if (key == "source.size")
    input.source.sizeBytes = Number(value);
  else if (key == "source.container")
    input.source.container = value;
  else if (key == "source.hash") {
    const std::size_t colon = value.find(':');
    input.source.hashes.push_back({*DigestByName(value.substr(0, colon)), value.substr(colon + 1)});
  } else if (key == "scan_time")
    input.scanTime = static_cast<std::time_t>(Number(value));
  else if (key == "mail")
    input.mails.emplace_back();
  else if (key == "message")
    input.messages.emplace_back();
  else if (mail && key == "index")
    mail->index = Number(value);
  else if (mail && key == "file")
    mail->file = value;
  else if (mail && key == "sector")
    mail->sector = Number(value);
  else if (mail && key == "offset")
    mail->offset = static_cast<std::uint32_t>(Number(value));
  else if (mail && key == "bytes")
    mail->bytes = Number(value);
  else if (mail && key == "found_by")
    mail->foundBy = value;
  else if (mail && key == "duplicate_of")
    mail->duplicateOf = Number(value);
  else if (mail && key == "part_of")
    mail->partOf = Number(value);
  else if (mail && key == "damaged")
    mail->damaged = value == "yes";
  else if (mail && key == "date")
    mail->date = value;
  else if (mail && key == "from")
    mail->from = value;
  else if (mail && key == "to")
    mail->to = value;
  else if (mail && key == "subject")
    mail->subject = value;
  else if (mail && key == "message_id")
    mail->messageId = value;
  else if (mail && key == "attachment")
    mail->attachments.push_back(value);
  else if (mail && key == "file_size")
    mail->fileSize = Number(value);
  else if (mail && key == "sha256")
    mail->sha256 = value;
  else if (mail && key == "run")
    mail->byteRuns.push_back(Run(value));
  else if (message && key == "mbox.bytes")
    message->bytes = value;
  else if (message && key == "mbox.sender")
    message->sender = value;
  else if (message && key == "mbox.date")
    message->date = value;
  else
    return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: quillon_report_writer_probe INPUT OUTPUT_FOLDER\n", stderr);
    return 2;
  }
  Input input;
  std::ifstream file(argv[1]);
  std::string line;
  while (std::getline(file, line)) {
    const std::size_t blank = line.find(' ');
    const std::string key = line.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : FromHex(line.substr(blank + 1));
    if (!Apply(input, key, value)) {
      std::fprintf(stderr, "unknown key %s\n", key.c_str());
      return 2;
    }
  }

  const std::filesystem::path folder = argv[2];
  std::ofstream csv(folder / "report.csv", std::ios::binary);
  std::ofstream xml(folder / "report.xml", std::ios::binary);
  std::ofstream mbox(folder / "mailbox.mbox", std::ios::binary);
  CsvReportWriter csvWriter(csv);
  DfxmlReportWriter xmlWriter(xml, input.creator, input.source);
  MboxWriter mboxWriter(mbox, input.scanTime);
  for (const ReportedMail& mail : input.mails) {
    csvWriter.Add(mail);
    xmlWriter.Add(mail);
  }
  for (const MessageInput& message : input.messages)
    mboxWriter.Add({message.bytes, message.sender, message.date});
  // Every writer finishes, even after another failed.
  const bool csvWritten = csvWriter.Finish();
  const bool xmlWritten = xmlWriter.Finish();
  const bool mboxWritten = mboxWriter.Finish();
  return csvWritten && xmlWritten && mboxWritten ? 0 : 1;
}
