// Decodes the Subject and From of every corpus message and compares the result with what
// Python's email package makes of the same bytes (tools/decode_reference.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/paths.h"
#include "text/base64.h"
#include "text/code_page.h"
#include "text/encoded_words.h"
#include "text/utf8.h"

namespace quillon {
namespace {

// One line of the reference script's output.
struct ReferenceRecord {
  std::string file;
  std::string header;                 // "subject" or "from"
  std::string raw;                    // the unfolded raw value
  std::optional<std::string> python;  // Python's decoding as UTF-8, raw bytes left as they were
  std::optional<std::string> error;   // Python's exception, when it raised
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Reads a flat JSON object whose values are strings or null, as json.dumps writes it.
std::map<std::string, std::optional<std::string>> ParseFlatJsonObject(std::string_view line) {
  std::map<std::string, std::optional<std::string>> fields;
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < line.size() && (line[i] == ' ' || line[i] == ',' || line[i] == ':')) ++i;
  };
  auto readString = [&]() -> std::string {
    std::string out;
    ++i;  // opening quote
    while (i < line.size() && line[i] != '"') {
      if (line[i] != '\\') {
        out += line[i++];
        continue;
      }
      const char escape = line[i + 1];
      i += 2;
      switch (escape) {
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'u': {
          char32_t c =
              static_cast<char32_t>(std::stoul(std::string(line.substr(i, 4)), nullptr, 16));
          i += 4;
          if (c >= 0xD800 && c < 0xDC00 && line.substr(i, 2) == "\\u") {
            const auto low =
                static_cast<char32_t>(std::stoul(std::string(line.substr(i + 2, 4)), nullptr, 16));
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 6;
          }
          AppendUtf8(out, c);
          break;
        }
        default:
          out += escape;
          break;
      }
    }
    ++i;  // closing quote
    return out;
  };
  i = line.find('{') + 1;
  for (;;) {
    skipBlanks();
    if (i >= line.size() || line[i] != '"') break;
    const std::string key = readString();
    skipBlanks();
    if (line.substr(i, 4) == "null") {
      fields[key] = std::nullopt;
      i += 4;
    } else {
      fields[key] = readString();
    }
  }
  return fields;
}

// Runs the reference script; nullopt when python3 cannot be started.
std::optional<std::vector<ReferenceRecord>> RunReferenceScript(
    const std::filesystem::path& corpus) {
  const std::string command = "python3 \"" +
                              (test::SourceDir() / "tools" / "decode_reference.py").string() +
                              "\" \"" + corpus.string() + "\" 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char buffer[65536];
  for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, read);
  const int status = ::pclose(pipe);
  if (status != 0) {
    std::cout << output.substr(0, 2000);
    return std::nullopt;
  }
  std::vector<ReferenceRecord> records;
  for (std::size_t start = 0; start < output.size();) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string_view line(output.data() + start, end - start);
    start = end + 1;
    if (line.empty()) continue;
    auto fields = ParseFlatJsonObject(line);
    ReferenceRecord record;
    record.file = fields["file"].value_or("");
    record.header = fields["header"].value_or("");
    record.raw = Base64Decode(fields["raw"].value_or(""));
    if (fields["python"]) record.python = Base64Decode(*fields["python"]);
    record.error = fields["error"];
    records.push_back(std::move(record));
  }
  return records;
}

bool IsBlankOrControl(unsigned char c) {
  return c <= ' ' || c == 0x7F;
}

// One blank for every run of white space or control characters, none at either end.
std::string NormaliseWhiteSpace(std::string_view text) {
  std::string out;
  bool pendingBlank = false;
  for (char c : text) {
    if (IsBlankOrControl(static_cast<unsigned char>(c))) {
      pendingBlank = !out.empty();
      continue;
    }
    if (pendingBlank) out += ' ';
    pendingBlank = false;
    out += c;
  }
  return out;
}

// Addresses: quoting differs by design (we quote a display name, Python keeps the quotes it
// found and pads encoded words inside them with blanks), so quotes do not count.
std::string NormaliseAddress(std::string_view text) {
  std::string unquoted;
  for (char c : text) {
    if (c != '"' && c != '\\') unquoted += c;
  }
  return NormaliseWhiteSpace(unquoted);
}

std::string Escaped(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

struct Tally {
  int agreed = 0;
  int disagreed = 0;
  int pythonRaised = 0;
  int pythonLeftBytes = 0;
  int agreedOnRawUtf8 = 0;

  double Agreement() const {
    const int compared = agreed + disagreed;
    return compared == 0 ? 0.0 : 100.0 * agreed / compared;
  }
};

// Raw 8-bit bytes outside encoded words, when they form valid UTF-8.
bool HasRawUtf8(std::string_view raw) {
  return HasNonAsciiByte(raw) && IsValidUtf8(raw);
}

TEST(DecodeCorpusTest, SubjectsAndSendersAgreeWithPythonsEmailPackage) {
  const auto corpus = test::CorpusMessagesDir();
  if (!corpus) GTEST_SKIP() << test::CorpusMissingMessage();
  const auto records = RunReferenceScript(*corpus);
  if (!records) GTEST_SKIP() << "python3 or tools/decode_reference.py could not run; skipping";
  ASSERT_GT(records->size(), 500u);

  // The reference reads untagged text as Windows-1252 too.
  constexpr int kWestern = 1252;
  std::map<std::string, Tally> tallies;
  for (const ReferenceRecord& record : *records) {
    Tally& tally = tallies[record.header];
    if (record.error) {
      ++tally.pythonRaised;
      std::cout << "[ no reference ] " << record.file << ' ' << record.header << ": Python raised "
                << *record.error << '\n';
      continue;
    }
    // Python keeps 8-bit bytes it cannot place: as raw bytes when the value has no encoded
    // word, as "\udcXX" text when it has one. There is no decoding to compare with then.
    const bool escapedByPython = record.python->find("\\udc") != std::string::npos &&
                                 record.raw.find("\\udc") == std::string::npos;
    if (!IsValidUtf8(*record.python) || escapedByPython) {
      ++tally.pythonLeftBytes;
      std::cout << "[ no reference ] " << record.file << ' ' << record.header
                << ": Python left 8-bit bytes undecoded\n";
      continue;
    }
    const bool isSubject = record.header == "subject";
    const std::string ours = Utf16ToUtf8(isSubject ? DecodeHeaderText(record.raw, kWestern)
                                                   : DecodeAddressText(record.raw, kWestern));
    const std::string normalisedOurs =
        isSubject ? NormaliseWhiteSpace(ours) : NormaliseAddress(ours);
    const std::string normalisedPython =
        isSubject ? NormaliseWhiteSpace(*record.python) : NormaliseAddress(*record.python);
    if (normalisedOurs == normalisedPython) {
      ++tally.agreed;
      if (HasRawUtf8(record.raw)) ++tally.agreedOnRawUtf8;
      continue;
    }
    ++tally.disagreed;
    std::cout << "[ differs ] " << record.file << ' ' << record.header
              << "\n    raw:    " << Escaped(record.raw) << "\n    ours:   " << Escaped(ours)
              << "\n    python: " << Escaped(*record.python) << '\n';
  }

  for (const auto& [header, tally] : tallies) {
    std::cout << "[ agreement ] " << header << ": " << tally.agreed << " of "
              << tally.agreed + tally.disagreed << " (" << tally.Agreement() << " %); "
              << tally.agreedOnRawUtf8 << " of the agreements are raw UTF-8 values; "
              << "no reference: " << tally.pythonRaised << " where Python raised, "
              << tally.pythonLeftBytes << " where it left 8-bit bytes undecoded\n";
  }
  EXPECT_GE(tallies["subject"].Agreement(), 97.0);
  EXPECT_GE(tallies["from"].Agreement(), 95.0);
}

}  // namespace
}  // namespace quillon
