#include "scan/shape/field_names.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string>

#include "scan/lines/header_fields.h"
#include "scan/lines/header_text.h"
#include "scan/lines/line_reader.h"
#include "text/ascii.h"

namespace quillon::shape_names {

namespace {

// Names a header block often begins with beyond those the scan reads: they tell a glued first line.
constexpr std::string_view kOpeningFieldNames[] = {
    "Sender",
    "Reply-To",
    "X-Mailer",
    "Content-Disposition",
    "Envelope-To",
    "References",
    "In-Reply-To",
    "Status",
    "Organization",
    "User-Agent",
    "DKIM-Signature",
    "ARC-Seal",
    "Authentication-Results",
    "DomainKey-Signature",
    // Misspelt by a relay that many archived mails passed through; it opens their blocks.
    "Recieved",
    // What a filter, a resend, a news server or a draft's filed copy (FCC) puts on top of a block.
    "Received-SPF",
    "Old-Return-Path",
    "X-Original-To",
    "Resent-From",
    "Resent-To",
    "Resent-Date",
    "Resent-Sender",
    "Resent-Message-ID",
    "Path",
    "Newsgroups",
    "Xref",
    "NNTP-Posting-Host",
    "Lines",
    "Fcc",
};

// The opening names by their length (-1 behind the last): the glued-name rules ask at every
// capital of a name that runs up to a colon, and most are compared with none.
constexpr auto kOpeningNamesByLength = [] {
  constexpr std::size_t kLongest = [] {
    std::size_t longest = 0;
    for (const std::string_view name : kOpeningFieldNames) longest = std::max(longest, name.size());
    return longest;
  }();
  std::array<std::array<std::int8_t, 6>, kLongest + 1> table{};
  for (auto& row : table) row.fill(-1);
  for (std::size_t i = 0; i < std::size(kOpeningFieldNames); ++i) {
    const std::size_t length = kOpeningFieldNames[i].size();
    std::size_t slot = 0;
    while (table[length][slot] != -1) ++slot;  // a row too narrow does not compile
    table[length][slot] = static_cast<std::int8_t>(i);
  }
  return table;
}();

// For each length a known name may have, the letters such names begin with (bit 0 for 'a'): most
// names asked about are told apart by their length and first letter alone.
constexpr auto kFirstLettersByLength = [] {
  std::array<std::uint32_t,
             std::max(header_fields::kLongestName, kOpeningNamesByLength.size() - 1) + 1>
      letters{};
  const auto add = [&](std::string_view name) {
    letters[name.size()] |= 1u << (AsciiLower(static_cast<unsigned char>(name.front())) - 'a');
  };
  for (const std::string_view prefix : header_fields::kPrefixes)
    add(prefix.substr(0, prefix.size() - 2));
  for (const std::string_view name : kOpeningFieldNames) add(name);
  return letters;
}();

}  // namespace

// The prefixes mail programs put in front of a reply's or a forward's subject, in the languages
// they are seen in most.
bool IsReplyPrefix(std::string_view word) {
  constexpr std::string_view kPrefixes[] = {"Re", "Fw", "Fwd", "Aw",  "Wg",
                                            "Sv", "Vs", "Tr",  "Antw"};
  return std::any_of(std::begin(kPrefixes), std::end(kPrefixes), [&](std::string_view prefix) {
    return word.size() == prefix.size() && StartsWithNoCase(word, prefix);
  });
}

// Whether `lead`, the start of a line's own name in front of a known name, may be a part of a
// field's name ("Resent", "X-MS-Exch"): letters, digits and hyphens, and either hyphenated or
// short, without digits and with a capital first. A long run of letters and digits without one is
// the tail of a base64 line ("...PGRpdj48ZGl2Pjxicj48L2Rpdj"), which no field is named by.
bool WordOfAName(std::string_view lead) {
  constexpr std::size_t kLongestWordOfAName = 24;
  const bool nameBytes = std::all_of(lead.begin(), lead.end(), [](char c) {
    return IsDigit(c) || IsUpper(c) || (c >= 'a' && c <= 'z') || c == '-';
  });
  if (!nameBytes) return false;
  if (lead.find('-') != std::string_view::npos) return true;
  // Acronyms in names are short ("MIME", "DKIM"); a longer run of capitals is base64
  // ("DQAKAEQAZQBhA" of UTF-16 text) or shouting prose.
  constexpr std::size_t kLongestAcronym = 4;
  std::size_t capitals = 0;
  for (const char c : lead) {
    capitals = IsUpper(c) ? capitals + 1 : 0;
    if (capitals > kLongestAcronym) return false;
  }
  // Field names begin with a capital: "lpKC", "erschrec" are the tails of other text.
  if (IsLower(lead.front())) return false;
  return lead.size() < kLongestWordOfAName && std::none_of(lead.begin(), lead.end(), IsDigit);
}

// A signature lists the fields it signs: "h=Content-Type: MIME-Version:" or "h=From:To:Cc:"
// names no line.
// The list is a tag's value ("h=": a single lower-case letter behind a blank or a semicolon;
// quoted-printable's "=CB=" and markup's "id=" or "<p=" are none), and a colon behind no name is a
// time ("13:33:MIME-Version") or markup, no list.
bool InAFieldList(std::string_view text, std::size_t name) {
  if (name > 1 && text[name - 1] == '=')
    return IsLower(text[name - 2]) &&
           (name == 2 || IsBlank(text[name - 3]) || text[name - 3] == ';');
  std::size_t before = name;
  while (before > 0 && IsBlank(text[before - 1])) --before;
  if (before == 0 || text[before - 1] != ':') return false;
  const std::size_t colon = before - 1;
  std::size_t word = colon;
  while (word > 0 && IsNameByte(text[word - 1])) --word;
  // A line's own name with nothing behind its colon ("Status:" + "Date: Mon...") is a header line
  // whose value was empty, and the next line glued to it; a list stands in a value.
  if (word == 0 && before == colon + 1) return false;
  const std::string_view listed = text.substr(word, colon - word);
  // No field is named by a single letter: "W:" is a stray byte's colon.
  if (listed.size() < 2 || IsReplyPrefix(listed)) return false;
  // A key in quote marks (`"id":` of a script's data) names no field.
  if (listed.front() == '"' || listed.back() == '"') return false;
  return std::any_of(listed.begin(), listed.end(),
                     [](char c) { return IsUpper(c) || (c >= 'a' && c <= 'z'); });
}

// Names a word in front of them does not make another field's: "Return-Path", "Received".
bool IsLongName(std::string_view name) {
  constexpr std::size_t kLongName = 8;
  return name.size() >= kLongName || name.find('-') != std::string_view::npos;
}

bool IsKnownFieldName(std::string_view name) {
  if (name.empty() || name.size() >= kFirstLettersByLength.size()) return false;
  const unsigned letter = AsciiLower(static_cast<unsigned char>(name.front())) - 'a';
  if (letter >= 26 || (kFirstLettersByLength[name.size()] & (1u << letter)) == 0) return false;
  if (FieldNamed(name)) return true;
  if (name.size() >= kOpeningNamesByLength.size()) return false;
  for (const std::int8_t index : kOpeningNamesByLength[name.size()]) {
    if (index < 0) break;
    if (StartsWithNoCase(name, kOpeningFieldNames[index])) return true;
  }
  return false;
}

// Whether the known long `name` follows `lead`, the start of a name written in lower case words
// and hyphens, which a capitalised name does not go on: "x-exchange-antispam-report-" +
// "Return-Path" and "x-f" + "Return-Path" are the cut ends of old lines and the first line of a
// block.
bool LongNameBehindLowerCase(std::string_view lead, std::string_view name) {
  return lead.size() > 1 && lead.find('-') != std::string_view::npos &&
         (lead.back() == '-' || IsLower(lead.back())) &&
         std::none_of(lead.begin(), lead.end(), IsUpper) && IsLongName(name) &&
         IsKnownFieldName(name);
}

bool IsPrivateFieldName(std::string_view name) {
  return (name.size() > 2 && name[0] == 'X' && name[1] == '-') ||
         (name.size() > 6 && name.substr(0, 5) == "X400-" && IsUpper(name[5]));
}

// Whether the private `name` follows `lead` in a value, where `lead` is no start of a name but a
// word of the value ("text/x-ruby-" + "X-Gmail-Received"): a name holds letters, digits and
// hyphens only.
bool PrivateNameBehindAWordOfAValue(std::string_view lead, std::string_view name) {
  return IsPrivateFieldName(name) && std::any_of(lead.begin(), lead.end(), [](char c) {
           return !IsLetter(c) && !IsDigit(c) && c != '-';
         });
}

// Whether the known hyphenated `name` follows `lead`, the cut start of another hyphenated name
// that ends inside a word ("Content-Transfer-Enc" + "Return-Path", "Diagnostic-Co" +
// "MIME-Version", "Content-Descripti" + "X-Gmail-Received"): no field's name runs a word into a
// capitalised hyphenated name. Private names ("X-Ap" + "Message-ID") may be named anyhow and
// stay whole.
bool HyphenatedNameBehindACutName(std::string_view lead, std::string_view name) {
  return lead.size() > 2 && lead.find('-') != std::string_view::npos && IsLower(lead.back()) &&
         !IsPrivateFieldName(lead) && !(lead[0] == 'x' && lead[1] == '-') &&
         name.find('-') != std::string_view::npos &&
         (IsKnownFieldName(name) || IsPrivateFieldName(name));
}

// Whether `name`, the name of a line whose value is another field's line ("Content-Transfer-
// Encoding: Return-Path: <...>"), is one whose value has a grammar of its own, so that it cannot
// begin with a name and a colon: the old line was cut right behind its blank. A subject or a
// private field may say anything.
bool NameOfAStructuredField(std::string_view name) {
  const auto field = FieldNamed(name);
  return field && *field != HeaderField::Subject && !IsPrivateFieldName(name);
}

// The fields of a delivery report's parts (RFC 3464 2.2, 2.3), which a returned mail's old
// bytes end in often: a name cut there is a known one's all the same.
constexpr std::string_view kReportFieldNames[] = {
    "Reporting-MTA", "Arrival-Date",    "Final-Recipient", "Original-Recipient",
    "Action",        "Diagnostic-Code", "Remote-MTA",      "Last-Attempt-Date",
};

namespace {

// Whether `lead` is the start of a name a list knows (a prefix, an opening field's, a delivery
// report's) cut inside it, with a letter of the name behind the cut.
bool StartsAKnownNameInsideAWord(std::string_view lead) {
  const auto cuts = [&](std::string_view known) {
    return lead.size() < known.size() && StartsWithNoCase(known, lead) &&
           IsLetter(known[lead.size()]);
  };
  return std::any_of(
             header_fields::kPrefixes.begin(), header_fields::kPrefixes.end(),
             [&](std::string_view prefix) { return cuts(prefix.substr(0, prefix.size() - 2)); }) ||
         std::any_of(std::begin(kOpeningFieldNames), std::end(kOpeningFieldNames), cuts) ||
         std::any_of(std::begin(kReportFieldNames), std::end(kReportFieldNames), cuts);
}

}  // namespace

bool KnownNameCutAtAHyphen(std::string_view lead) {
  if (lead.size() < 3 || lead.back() != '-' || lead[0] == 'X' || lead[0] == 'x') return false;
  return StartsAKnownNameInsideAWord(lead);
}

bool CutKnownName(std::string_view lead, bool ownGrammar) {
  const std::size_t shortestCut = ownGrammar ? 1 : 3;
  if (lead.size() < shortestCut || !IsLetter(lead.back())) return false;
  return StartsAKnownNameInsideAWord(lead);
}

bool KnownNameBehindACutWord(std::string_view lead, std::string_view name, std::string_view rest) {
  constexpr std::size_t kShortestWord = 3;
  if (lead.size() < kShortestWord || lead.back() != '-' || IsPrivateFieldName(lead) ||
      (lead[0] == 'x' && lead[1] == '-'))
    return false;
  const auto cuts = [&](std::string_view known) {
    return lead.size() < known.size() && StartsWithNoCase(known, lead);
  };
  const bool cutKnown =
      std::any_of(
          header_fields::kPrefixes.begin(), header_fields::kPrefixes.end(),
          [&](std::string_view prefix) { return cuts(prefix.substr(0, prefix.size() - 2)); }) ||
      std::any_of(std::begin(kOpeningFieldNames), std::end(kOpeningFieldNames), cuts);
  // A hyphenated name with one address behind it ("Content-" + "Delivered-To: a@b.example")
  // reads as a delivery line as surely: no field a cut name and a known one make holds one.
  const bool ownValue =
      ValueInItsOwnGrammar(name, rest) || (name.find('-') != std::string_view::npos &&
                                           !rest.empty() && ValueIsOneAddress(rest.substr(1)));
  if (!cutKnown || !ownValue) return false;
  std::string joined(lead);
  joined += name;
  return !IsKnownFieldName(joined);
}

bool WordOfMarkup(std::string_view lead) {
  const std::size_t mark = lead.find_last_of("\"<>/");
  if (mark == std::string_view::npos || mark + 1 == lead.size()) return false;
  const std::string_view word = lead.substr(mark + 1);
  return std::all_of(word.begin(), word.end(),
                     [](char c) { return IsLower(c) || IsDigit(c) || c == '-'; });
}

bool QuoteMarksAlone(std::string_view lead) {
  return lead.find('>') != std::string_view::npos &&
         lead.find_first_not_of("> \t") == std::string_view::npos;
}

bool FieldBehindALowerCaseProperty(std::string_view text, std::size_t name, std::size_t colon) {
  std::size_t before = name;
  while (before > 0 && IsBlank(text[before - 1])) --before;
  if (before == name || before == 0 || text[before - 1] != ':') return false;
  std::size_t word = before - 1;
  while (word > 0 && (IsLower(text[word - 1]) || text[word - 1] == '-')) --word;
  const std::string_view property = text.substr(word, before - 1 - word);
  const std::size_t hyphen = property.find('-');
  if (hyphen == std::string_view::npos || hyphen == 0 || property.back() == '-') return false;
  // A signature's list is a tag's value ("h=content-type: From:").
  if (word > 0 && (IsLetter(text[word - 1]) || IsDigit(text[word - 1]) || text[word - 1] == '=' ||
                   text[word - 1] == '-'))
    return false;
  std::size_t value = colon + 1;
  while (value < text.size() && IsBlank(text[value])) ++value;
  return value < text.size() && HeaderNameLength(text.substr(value)) == 0;
}

bool WordInFrontOfAName(std::string_view line, std::size_t name) {
  // Longer runs of letters in front of a name are more likely old text cut at a blank.
  constexpr std::size_t kLongestWord = 16;
  if (name < 2 || name > kLongestWord + 1 || name >= line.size() || line[name - 1] != ' ')
    return false;
  return std::all_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(name - 1), IsLetter);
}

bool ValueIsOneAddress(std::string_view rest) {
  if (rest.empty() || !IsBlank(rest[0])) return false;
  const std::string_view address = TrimWhiteSpace(rest);
  constexpr std::size_t kShortestAddress = 3;
  return address.size() >= kShortestAddress && address.find('@') != std::string_view::npos &&
         address.find_first_of(" \t") == std::string_view::npos;
}

bool ValueInItsOwnGrammar(std::string_view name, std::string_view rest) {
  if (rest.size() < 2 || rest[0] != ':' || !IsBlank(rest[1])) return false;
  const std::string_view value = rest.substr(2);
  const auto field = FieldNamed(name);
  if (field == HeaderField::Received) return StartsWithNoCase(value, "from ");
  if (field == HeaderField::MimeVersion) return value.substr(0, 3) == "1.0";
  if (field == HeaderField::ReturnPath || field == HeaderField::MessageId) {
    // An address in angle brackets, and nothing behind it.
    const std::size_t close = value.find('>');
    return !value.empty() && value[0] == '<' && close != std::string_view::npos &&
           (close == 1 || value.find('@') < close) &&
           value.find_first_not_of(" \t", close + 1) == std::string_view::npos;
  }
  if (field != HeaderField::Date) return false;
  std::string date(value);
  NormaliseDate(date);
  return date != value;
}

}  // namespace quillon::shape_names
