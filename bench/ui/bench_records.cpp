#include "bench_records.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "scan/found_mails.h"
#include "scan/scan_driver.h"
#include "scan/scan_observer.h"
#include "scan/scan_status.h"
#include "source/data_source.h"
#include "source/memory_source.h"

namespace quillon::bench {

namespace {

std::u16string Utf16(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

std::u16string Number(std::uint64_t value) {
  return Utf16(std::to_string(value));
}

// Subjects in many scripts, with and without letter case, some beyond the BMP.
constexpr std::array<std::u16string_view, 12> kWorldSubjects = {
    u"\u041e\u0442\u0447\u0451\u0442 \u0437\u0430 \u043a\u0432\u0430\u0440\u0442\u0430\u043b",
    u"\u0421\u041e\u0412\u0415\u0429\u0410\u041d\u0418\u0415 \u0432 \u043f\u044f\u0442\u043d"
    u"\u0438\u0446\u0443",
    u"\u03a3\u03c5\u03bd\u03ac\u03bd\u03c4\u03b7\u03c3\u03b7 \u03bf\u03bc\u03ac\u03b4\u03b1\u03c2",
    u"\u5b63\u5ea6\u62a5\u544a",
    u"\u4f1a\u8b70\u306e\u304a\u77e5\u3089\u305b",
    u"R\u00e9union d'\u00e9quipe",
    u"R\u00c9UNION D'\u00c9QUIPE",
    u"Gr\u00fc\u00dfe aus der Stra\u00dfe",
    u"\U0001F389 Party on Friday",
    u"\u0130stanbul toplant\u0131s\u0131",
    u"\u05e4\u05d2\u05d9\u05e9\u05ea \u05e6\u05d5\u05d5\u05ea",
    u"\u0e23\u0e32\u0e22\u0e07\u0e32\u0e19\u0e1b\u0e23\u0e30\u0e08\u0e33\u0e40\u0e14\u0e37\u0e2d"
    u"\u0e19",
};

constexpr std::array<std::u16string_view, 16> kFirstNames = {
    u"Anna",        u"Bernd",       u"Chloe",
    u"Dmitri",      u"\u00c9lodie", u"Farid",
    u"Grace",       u"Hiroshi",     u"\u0418\u0432\u0430\u043d",
    u"J\u00fcrgen", u"Kwame",       u"Li",
    u"Mar\u00eda",  u"Nora",        u"\u738b\u4f1f",
    u"Zo\u00eb"};
constexpr std::array<std::u16string_view, 16> kLastNames = {
    u"Abbott",      u"Brown",    u"Castillo",
    u"Dubois",      u"Eriksson", u"Fischer",
    u"Garc\u00eda", u"Huang",    u"\u041f\u0435\u0442\u0440\u043e\u0432",
    u"Jones",       u"Kowalski", u"Lee",
    u"M\u00fcller", u"Nakamura", u"O'Brien",
    u"Quill"};
constexpr std::array<std::string_view, 8> kDomains = {
    "example.org",   "mail.example.com", "corp.example.net", "uni.example.edu",
    "example.co.uk", "post.example.de",  "example.jp",       "list.example.org"};

// One of `count` people, the first ones far more often than the last, as in a real mailbox.
std::size_t Skewed(std::mt19937_64& random, std::size_t count) {
  const double u = std::uniform_real_distribution<double>(0.0, 1.0)(random);
  return std::min(count - 1, static_cast<std::size_t>(u * u * u * static_cast<double>(count)));
}

// Person `n` in one of the forms addresses are written in.
std::u16string Person(std::size_t n) {
  const std::u16string first(kFirstNames[n % kFirstNames.size()]);
  const std::u16string last(kLastNames[(n / kFirstNames.size()) % kLastNames.size()]);
  const std::size_t group = n / (kFirstNames.size() * kLastNames.size());
  std::u16string address = u"user" + Number(n) + u"@" + Utf16(kDomains[group % kDomains.size()]);
  switch (n % 5) {
    case 0:
      return u"\"" + last + u", " + first + u"\" <" + address + u">";
    case 1:
      return first + u" " + last + u" <" + address + u">";
    case 2:
      return address;
    case 3:
      return address + u" (" + first + u" " + last + u")";
    default:
      return u"\"" + first + u" " + last + Number(group) + u"\" <" + address + u">";
  }
}

std::string Date(std::mt19937_64& random, const std::string& previous) {
  const std::uint64_t pick = random() % 100;
  if (pick < 10 && !previous.empty()) return previous;  // the same second as the mail before
  if (pick < 13) return "Mon, 32 Foo 20";               // names no time
  if (pick < 15) return "Tue, " + std::to_string(1 + random() % 28) + " Mar 1987 08:00:00 +0000";
  char text[32];
  std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d",
                static_cast<int>(1998 + random() % 28), static_cast<int>(1 + random() % 12),
                static_cast<int>(1 + random() % 28), static_cast<int>(random() % 24),
                static_cast<int>(random() % 60), static_cast<int>(random() % 60));
  return text;
}

std::u16string Subject(std::mt19937_64& random, std::size_t index, const MailRecord& material) {
  const std::uint64_t pick = random() % 1000;
  if (pick < 1) return std::u16string(kRareWord) + u" keeping rota, week " + Number(random() % 53);
  if (pick < 101) {
    const std::u16string number = Number(100000 + random() % 900000);
    switch (random() % 3) {
      case 0:
        return u"Invoice " + number;
      case 1:
        return u"Re: Your invoice INV-" + number + u" is due";
      default:
        return u"FW: INVOICE " + number;
    }
  }
  if (pick < 251) return u"Re: Subject number " + Number(index);
  if (pick < 301) return u"( No Subject )";
  if (pick < 401) {
    std::u16string world(kWorldSubjects[random() % kWorldSubjects.size()]);
    if (random() % 2 == 0) world += u" " + Number(random() % 1000);
    return world;
  }
  static constexpr std::array<std::u16string_view, 5> kPrefixes = {u"Re: ", u"Re: Re: ", u"Fwd: ",
                                                                   u"AW: ", u"RE: Fw: "};
  if (pick < 501)
    return std::u16string(kPrefixes[random() % kPrefixes.size()]) + material.SubjectText();
  return material.SubjectText();
}

// The raw value a scan would have carved for a decoded text: the text itself where it is ASCII,
// as in most mails, else an encoded word of about its length, which the decoded text differs
// from (so that the records hold what a scan's hold).
std::string RawOf(const std::u16string& text) {
  std::string raw;
  for (const char16_t unit : text) {
    if (unit >= 0x80) return "=?utf-8?b?" + std::string(text.size() * 4 / 3, 'Q') + "?=";
    raw += static_cast<char>(unit);
  }
  return raw;
}

void SetHeaderTexts(MailRecord& record, const std::u16string& subject, const std::u16string& from,
                    const std::u16string& to) {
  record.subject = RawOf(subject);
  record.from = RawOf(from);
  record.to = RawOf(to);
  record.SetSubjectText(subject);
  record.SetFromText(from);
  record.SetToText(to);
}

class SilentObserver final : public ScanObserver {};

}  // namespace

RecordMaterial ScanMessages(const std::filesystem::path& folder) {
  RecordMaterial material;
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<std::uint8_t> bytes;
  for (const std::filesystem::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string message((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    const std::string separator = "From sender@example.org Mon Jan  1 00:00:00 2001\r\n";
    bytes.insert(bytes.end(), separator.begin(), separator.end());
    bytes.insert(bytes.end(), message.begin(), message.end());
    bytes.insert(bytes.end(), {'\r', '\n'});
  }
  bytes.resize((bytes.size() / 512 + 2) * 512, 0);
  DataSource source;
  source.OpenBackend(MakeMemoryBackend(std::move(bytes)), "messages.mbox");
  ScanStatus status;
  FoundMails mails;
  SilentObserver observer;
  (void)RunScan(source, {}, status, mails, observer);
  material.scanned = mails.Snapshot();
  material.origin = std::to_string(files.size()) + " messages of " + folder.string();
  return material;
}

MadeMails MakeMails(const RecordMaterial& material, std::size_t count, bool wholeContent,
                    std::size_t contentUnits, unsigned seed) {
  MadeMails made;
  made.records.reserve(count);
  made.bodies.reserve(count);
  std::mt19937_64 random(seed);
  const std::size_t people = 30000;
  std::uint64_t sector = 2048;
  std::string previousDate;
  for (std::size_t index = 0; index < count; ++index) {
    const MailRecord& source = *material.scanned[index % material.scanned.size()];
    auto record = std::make_shared<MailRecord>();
    record->startSector = sector;
    record->sectorOffset = static_cast<std::uint16_t>(random() % 512);
    sector += 1 + random() % 64;
    record->priority = static_cast<std::int16_t>(random() % 20 == 0 ? 1 + random() % 2 : 3);
    const bool copy = index > 0 && random() % 20 == 0;
    if (copy) {
      // A copy carries the header of the mail it copies.
      record->duplicateOf =
          static_cast<std::int64_t>(index - 1 - random() % std::min<std::size_t>(index, 1000));
      const MailRecord& original = *made.records[static_cast<std::size_t>(record->duplicateOf)];
      SetHeaderTexts(*record, original.SubjectText(), original.FromText(), original.ToText());
      record->date = original.date;
    } else {
      std::u16string subject = Subject(random, index, source);
      std::u16string from = random() % 4 == 0 ? source.FromText() : Person(Skewed(random, people));
      std::u16string to = Person(Skewed(random, people));
      for (std::uint64_t more = random() % 5; more > 2; --more)
        to += u", " + Person(Skewed(random, people));
      SetHeaderTexts(*record, subject, from, to);
      record->date = Date(random, previousDate);
    }
    previousDate = record->date;
    if (index > 0 && random() % 100 == 0) record->partOf = static_cast<std::int64_t>(index - 1);

    MailBody body = source.Body();
    const MailExtent sourceExtent = source.Extent();
    const std::uint64_t sourceStart = sourceExtent.TextStartOr(source.StartByte());
    const std::uint64_t length =
        body.textEnd > sourceStart ? body.textEnd - sourceStart : 1000 + random() % 100000;
    MailExtent extent;
    extent.textStartKnown = true;
    extent.textStart = record->StartByte();
    record->SetExtent(extent);
    body.textEnd = random() % 50 == 0 ? 0 : record->StartByte() + length;
    body.followedEnd = record->StartByte() + length;
    if (random() % 10 == 0)
      body.parts.push_back(PartEntry{"report.pdf", "application/pdf",
                                     u"report-" + Number(index % 5000) + u".pdf", "base64",
                                     static_cast<std::int64_t>(random() % 3000000)});
    if (!wholeContent) {
      body.bodyText.resize(std::min(body.bodyText.size(), contentUnits));
      body.contentText.resize(std::min(body.contentText.size(), contentUnits));
    }
    body.bodyText.shrink_to_fit();
    body.contentText.shrink_to_fit();
    body.closed = true;
    made.bodies.push_back(std::move(body));
    made.records.push_back(std::move(record));
  }
  return made;
}

void KeepTextsIn(MadeMails& mails, std::shared_ptr<MailTextStore> store) {
  mails.textStore = store;
  for (const MailRecordPtr& record : mails.records) record->KeepTextIn(store);
}

void CloseBody(MadeMails& mails, std::size_t index) {
  mails.records[index]->PublishBody(std::move(mails.bodies[index]));
  mails.bodies[index] = MailBody{};
}

}  // namespace quillon::bench
