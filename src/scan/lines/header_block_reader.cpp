#include "scan/lines/header_block_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "scan/lines/header_text.h"
#include "scan/read/block_header.h"
#include "text/ascii.h"

namespace quillon {

namespace {

// Enough bytes to hold a continuation line behind its white space and a block header.
constexpr std::size_t kFoldWindow =
    2 * (kMaxLineValue + 1) + kHeaderSearchSpan + 2 * kBlockHeaderSize;

// The longest line prefix the table holds ("Name: "): a longer name is none of its fields, and
// the walk need not read on through a line of base64 to find that out.
constexpr std::size_t kFieldLookSpan = [] {
  std::size_t longest = 0;
  for (const std::string_view prefix : header_fields::kPrefixes)
    longest = std::max(longest, prefix.size());
  return longest;
}();

// The prefixes of the table by the byte they begin with, in either letter case, in the table's
// order (-1 behind the last): the walk asks at every line of a mail, its body too, and most
// lines begin with a byte no field begins with.
constexpr auto kPrefixesByFirstByte = [] {
  std::array<std::array<std::int8_t, 4>, 256> table{};
  for (auto& row : table) row.fill(-1);
  for (std::size_t i = 0; i < header_fields::kPrefixes.size(); ++i) {
    const auto first = static_cast<unsigned char>(header_fields::kPrefixes[i].front());
    const unsigned char lower = AsciiLower(first);
    for (const unsigned char byte : {lower, static_cast<unsigned char>(lower - 32)}) {
      std::size_t slot = 0;
      while (table[byte][slot] != -1) ++slot;  // a row too narrow does not compile
      table[byte][slot] = static_cast<std::int8_t>(i);
    }
  }
  return table;
}();

// StartsWithNoCase(line, the prefix at `index` of the table), a word at a time.
bool StartsWithPrefix(std::string_view line, std::size_t index) {
  const std::size_t size = header_fields::kPrefixes[index].size();
  return line.size() >= size && SamePrefixNoCase(line.data(), size, index);
}

bool IsFoldingWhiteSpace(std::uint8_t c) {
  return c == ' ' || c == '\t';
}

std::string_view ViewOf(CarveBuffer buffer, std::size_t from, std::size_t length) {
  return {reinterpret_cast<const char*>(buffer.data + from), std::min(length, buffer.size - from)};
}

// The `size` bytes at index `from` as a line that begins there reads them: the bytes in place,
// or, where the line runs into a block header (looked for only where there is one to look for),
// a copy in `window` with the header left out, and `size` less its length. Returns the header's
// index in the bytes, or kNoBlockHeader. Most folds run into none, and are read where they lie.
std::size_t LineWindow(CarveBuffer buffer, std::size_t from, bool stepOverBlockHeaders,
                       std::uint8_t* window, const std::uint8_t*& bytes, std::size_t& size) {
  bytes = buffer.data + from;
  if (!stepOverBlockHeaders) return kNoBlockHeader;
  const std::size_t header = FindBlockHeaderAhead(bytes, size, 0, buffer.PositionOf(from));
  if (header == kNoBlockHeader) return kNoBlockHeader;
  std::memcpy(window, bytes, header);
  std::memcpy(window + header, bytes + header + kBlockHeaderSize, size - header - kBlockHeaderSize);
  size -= kBlockHeaderSize;
  bytes = window;
  return from + header;
}

// Whether `text`, a line that holds bytes that are no text, is a fold of text all the same: text
// follows its blanks, and the control bytes come later. Old bytes that happen to open with a
// blank are no fold of the last field where no text follows the blank.
bool FoldOfText(std::string_view text) {
  if (!IsContinuation(text)) return false;
  const std::size_t behindBlanks = text.find_first_not_of(" \t");
  return behindBlanks == std::string_view::npos ||
         IsTextByte(static_cast<std::uint8_t>(text[behindBlanks]));
}

}  // namespace

HeaderBlockReader::HeaderBlockReader(SteppedBytes& bytes, const HeaderRules& rules)
    : stepped_(&bytes), rules_(rules) {}

HeaderBlockReader::HeaderBlockReader(CarveBuffer buffer, const HeaderRules& rules, std::size_t end)
    : plain_(buffer), rules_(rules), end_(std::min(end, buffer.size)) {
  rules_.stepOverBlockHeaders = false;
}

CarveBuffer HeaderBlockReader::Bytes() const {
  return stepped_ ? stepped_->Bytes() : plain_;
}

HeaderLine HeaderBlockReader::Look(std::size_t lineStart, std::string_view boundary) const {
  HeaderLine header;
  header.line.begin = lineStart;
  const CarveBuffer buffer = Bytes();
  if (lineStart >= buffer.size) return header;
  if (rules_.value == HeaderRules::Value::WholeLine) {
    if (buffer.data[lineStart] == 0 || lineStart == textStop_) {
      // The text stops at a NUL: a header block that ends at its file's end (a mail that is a
      // header alone, its file's slack behind it) ends there as at an empty line; so it does at
      // old bytes behind a last line cut where its text stopped (ReadWholeHeaderLine).
      header.kind = HeaderLineKind::Empty;
      header.line.end = header.line.next = lineStart;
      header.line.complete = true;
      return header;
    }
    if (lastWholeLine_ && lastWholeLine_->begin == lineStart)
      header.line = *lastWholeLine_;
    else
      header.line = ReadWholeHeaderLine(buffer, lineStart);
    const std::string_view text = TextOf(buffer, header.line);
    std::size_t nameLength = header.line.complete ? HeaderNameLength(text) : 0;
    std::size_t colon = nameLength;
    // A name the walk would not read as one ("X-Mailer :", "\xC3\x84nderung:") is a field all
    // the same: a block is not thrown away for one odd line among its fields.
    if (nameLength == 0 && header.line.complete && !header.line.binary && !text.empty() &&
        !IsContinuation(text)) {
      const LooseFieldName loose = LooseHeaderName(text);
      nameLength = loose.length;
      colon = loose.colon;
    }
    // A field line with a stray control byte or two reads as text (ReadLine).
    const bool readable = header.line.complete && !header.line.binary;
    if (!readable && header.line.complete && nameLength == 0 && !FoldOfText(text)) {
      // Bytes that are no text where the next field would begin: the text has stopped, as at
      // a NUL (a header block whose file's end old bytes follow).
      header.kind = HeaderLineKind::Empty;
      header.line.end = header.line.next = lineStart;
      return header;
    }
    if (!readable) {
      header.kind = HeaderLineKind::Unreadable;
      return header;
    }
    if (text.empty()) {
      header.kind = HeaderLineKind::Empty;
    } else if (IsContinuation(text)) {
      header.kind = HeaderLineKind::Continuation;
    } else if (nameLength != 0) {
      header.kind = HeaderLineKind::Field;
      header.field = FieldNamed(text.substr(0, nameLength));
      header.valueStart = lineStart + colon + 1;
    }
    return header;
  }
  // The walk does not look for the line's end: a value ends at its first control byte.
  if (IsCrLfAt(buffer, lineStart)) {
    header.kind = HeaderLineKind::Empty;
    return header;
  }
  if (!boundary.empty() && BoundaryLineOf(ViewOf(buffer, lineStart, 2 + boundary.size()), boundary,
                                          false) != BoundaryLine::None) {
    header.kind = HeaderLineKind::Boundary;
    return header;
  }
  if (IsFoldingWhiteSpace(buffer.data[lineStart])) {
    header.kind = HeaderLineKind::Continuation;
    return header;
  }
  const std::string_view start = ViewOf(buffer, lineStart, kFieldLookSpan);
  for (const std::int8_t index : kPrefixesByFirstByte[buffer.data[lineStart]]) {
    if (index < 0) break;
    if (!StartsWithPrefix(start, static_cast<std::size_t>(index))) continue;
    header.kind = HeaderLineKind::Field;
    header.field = static_cast<HeaderField>(index);
    header.valueStart = lineStart + header_fields::kPrefixes[index].size();
    return header;
  }
  return header;
}

Line HeaderBlockReader::ReadWholeHeaderLine(CarveBuffer buffer, std::size_t begin) const {
  Line line = ReadLine(buffer, begin);
  if (line.complete && !line.binary) return line;  // nearly every line, without a call
  const std::size_t cut = HeaderLineCutEnd(buffer, line);
  if (cut == std::string_view::npos) return line;
  line.end = line.next = textStop_ = cut;
  line.complete = true;
  line.binary = false;
  line.lineFeedOnly = false;
  return line;
}

bool HeaderBlockReader::Unfolds(HeaderField field) const {
  if (!rules_.unfoldAddressingOnly) return true;
  return field == HeaderField::From || field == HeaderField::To || field == HeaderField::Cc ||
         field == HeaderField::Subject || field == HeaderField::ContentType;
}

HeaderValue HeaderBlockReader::ReadValue(std::size_t& lineStart, const HeaderLine& line) {
  if (rules_.value == HeaderRules::Value::WholeLine) return ReadWholeLine(lineStart, line);
  return ReadUpToControlByte(lineStart, line.valueStart, line.field && Unfolds(*line.field));
}

HeaderValue HeaderBlockReader::ReadWholeLine(std::size_t lineStart, const HeaderLine& line) const {
  HeaderValue value;
  const CarveBuffer buffer = Bytes();
  std::string_view text = ViewOf(buffer, line.valueStart, line.line.end - line.valueStart);
  // A stray NUL ends the value as it ends the walk's: a record's values hold none.
  text = TrimWhiteSpace(text.substr(0, text.find('\0')));
  value.text.assign(text.substr(0, kMaxUnfoldedValue));
  value.lastLineStart = lineStart;
  std::size_t position = line.line.next;
  const bool unfold = line.field && Unfolds(*line.field);
  while (unfold && position < end_) {
    const Line next = ReadWholeHeaderLine(buffer, position);
    if (!next.complete || next.binary) break;  // the block ends there; its reader sees why
    const std::string_view nextText = TextOf(buffer, next);
    if (!IsContinuation(nextText)) {
      lastWholeLine_ = next;  // the block's reader asks about it next
      break;
    }
    if (value.text.size() < kMaxUnfoldedValue) {
      value.text += ' ';
      value.text += TrimWhiteSpace(nextText);
    }
    value.lastLineStart = position;
    position = next.next;
  }
  value.end = position;
  return value;
}

HeaderValue HeaderBlockReader::ReadUpToControlByte(std::size_t& lineStart, std::size_t valueStart,
                                                   bool unfold) {
  HeaderValue value;
  CarveBuffer buffer = Bytes();
  value.lastLineStart = lineStart;
  LineRead first = ValueText(buffer.data, buffer.size, valueStart);
  if (!first.found) {
    value.end = valueStart;  // longer than a line may be: read as empty
    return value;
  }
  value.text = std::move(first.text);
  value.end = first.stop;
  while (unfold && IsCrLfAt(buffer, value.end)) {
    std::size_t next = value.end + 2;
    if (next >= buffer.size || !IsFoldingWhiteSpace(buffer.data[next])) break;
    // Decide on a copy: a line that is not joined is the walk's to read, block header and all.
    std::size_t windowSize = std::min<std::size_t>(buffer.size - next, kFoldWindow);
    std::uint8_t window[kFoldWindow];
    const std::uint8_t* lineBytes = nullptr;
    const std::size_t header =
        LineWindow(buffer, next, rules_.stepOverBlockHeaders, window, lineBytes, windowSize);
    std::size_t textStart = 0;
    while (textStart < windowSize && textStart < kMaxLineValue &&
           IsFoldingWhiteSpace(lineBytes[textStart]))
      ++textStart;
    LineRead continuation = ContinuationText(lineBytes, windowSize, textStart);
    if (!continuation.found || continuation.stop > kMaxLineValue) break;
    if (value.text.size() + 1 + continuation.text.size() > kMaxUnfoldedValue) break;
    if (header != kNoBlockHeader && stepped_) {
      const std::size_t moved = stepped_->StepOver(lineStart, header);
      next = next - lineStart + moved;
      lineStart = moved;
      buffer = Bytes();
    }
    if (value.text.empty()) {
      value.text = std::move(continuation.text);
    } else {
      value.text += ' ';
      value.text += continuation.text;
    }
    value.lastLineStart = next;
    value.end = next + continuation.stop;
  }
  return value;
}

std::string* KeptValueOf(HeaderField field, PendingMail& headers, std::string& contentType) {
  switch (field) {
    case HeaderField::From:
      return &headers.from;
    case HeaderField::To:
      return &headers.to;
    case HeaderField::Cc:
      return &headers.cc;
    case HeaderField::Date:
      return &headers.date;
    case HeaderField::Subject:
      return &headers.subject;
    case HeaderField::MessageId:
      return &headers.messageId;
    case HeaderField::ContentType:
      return &contentType;
    case HeaderField::TransferEncoding:
      return &headers.transferEncoding;
    case HeaderField::Priority:
      return &headers.priority;
    default:
      return nullptr;
  }
}

namespace {

// Where "boundary=" begins in `value`, in any letter case: looked for in front of each '=' alone,
// of which a Content-Type value holds few.
std::size_t FindBoundaryParameter(std::string_view value) {
  constexpr std::string_view kName = "boundary";
  for (std::size_t equals = value.find('=', kName.size()); equals != std::string_view::npos;
       equals = value.find('=', equals + 1)) {
    if (StartsWithNoCase(value.substr(equals - kName.size()), kName)) return equals - kName.size();
  }
  return std::string_view::npos;
}

}  // namespace

void SetContentType(PendingMail& headers, const std::string& contentType) {
  const std::size_t at = FindBoundaryParameter(contentType);
  if (at == std::string::npos) {
    headers.contentType = contentType;
    return;
  }
  headers.boundary = BoundaryParameter(std::string_view(contentType).substr(at + 9));
  // The one character before the parameter (a blank or ';' separator) goes with it.
  headers.contentType = contentType.substr(0, at > 0 ? at - 1 : 0);
}

}  // namespace quillon
