#include "scan/reread/part_encoding_watch.h"

#include <vector>

#include "scan/lines/line_reader.h"
#include "scan/reread/old_text_lines.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

constexpr std::string_view kEncodingField = "content-transfer-encoding:";

bool IsBase64Character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/';
}

std::string_view WithoutTrailingBlanks(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

// A line of base64 data: its alphabet, padding only at the end, blanks behind it.
bool IsBase64Line(std::string_view line) {
  line = WithoutTrailingBlanks(line);
  while (!line.empty() && line.back() == '=') line.remove_suffix(1);
  if (line.empty()) return false;
  for (const char c : line)
    if (!IsBase64Character(c)) return false;
  return true;
}

// A mailbox separator, or one quoted with ">" as a mailbox quotes it inside a mail.
bool IsSeparatorLine(std::string_view line) {
  while (line.starts_with('>')) line.remove_prefix(1);
  return IsMboxSeparator(line, MboxSeparatorRule::Prefix);
}

}  // namespace

PartEncodingWatch::Encoding PartEncodingWatch::EncodingOf(std::string_view headerLine,
                                                          Encoding otherwise) {
  if (!StartsWithNoCase(headerLine, kEncodingField)) return otherwise;
  std::string_view value = headerLine.substr(kEncodingField.size());
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  return StartsWithNoCase(value, "base64") ? Encoding::Base64 : Encoding::Other;
}

PartEncodingWatch::PartEncodingWatch(std::string_view headerBlock) {
  for (std::size_t at = 0; at < headerBlock.size();) {
    std::size_t end = headerBlock.find('\n', at);
    if (end == std::string_view::npos) end = headerBlock.size();
    body_ = EncodingOf(headerBlock.substr(at, end - at), body_);
    at = end + 1;
  }
}

PartEncodingWatch::Verdict PartEncodingWatch::Judge(std::string_view line) {
  const bool wasDoubtful = doubtful_;
  doubtful_ = false;
  if (line.starts_with("--") || IsSeparatorLine(line)) {
    // A boundary line, or the next mail of a mailbox: header lines follow.
    inPartHeader_ = true;
    partHeader_ = Encoding::Other;
    afterData_ = false;
    return Verdict::Fits;
  }
  if (inPartHeader_) {
    if (line.empty()) {
      inPartHeader_ = false;
      body_ = partHeader_;
      dataEnded_ = false;
      dataLineLength_ = 0;
      footer_ = false;
      blankBehindData_ = false;
    } else {
      partHeader_ = EncodingOf(line, partHeader_);
    }
    return Verdict::Fits;
  }
  if (body_ != Encoding::Base64) return Verdict::Fits;
  // A line of blanks alone is as empty as an empty one: encoders and mail programs leave both
  // behind the data.
  if (WithoutTrailingBlanks(line).empty()) {
    afterData_ = false;
    blankBehindData_ = dataLineLength_ != 0 && !footer_;
    textBeforeBlank_ = textBeforeBlank_ || wasDoubtful;
    return Verdict::Fits;
  }
  const bool blankBehindData = blankBehindData_;
  const bool textBeforeBlank = textBeforeBlank_;
  blankBehindData_ = false;
  textBeforeBlank_ = false;
  if (!IsBase64Line(line)) {
    // A footer behind the data is written as mail text is: a longer line is old text, and the
    // footer with it.
    const bool longLine = line.size() > kEpilogueLineLength;
    if (footer_) return longLine ? Verdict::EndsAtDoubtful : Verdict::Fits;
    // Behind text right behind the data (an old line's tail, or a damaged line), a line longer
    // than a footer is written is more old text, and so was that text.
    if (blankBehindData && textBeforeBlank && longLine) return Verdict::EndsAtDoubtful;
    // A footer begins as text written to be read; old text begins with the tail of a line.
    if (blankBehindData) {
      footer_ = true;
      return longLine || BeginsMidLine(line) ? Verdict::EndsHere : Verdict::Doubtful;
    }
    if (wasDoubtful) return Verdict::EndsAtDoubtful;
    doubtful_ = afterData_;
    afterData_ = false;
    return doubtful_ ? Verdict::Doubtful : Verdict::Fits;
  }
  if (dataEnded_) return Verdict::EndsHere;
  // An encoder writes every line of a part's data as long as the first (RFC 2045 6.8: at most
  // 76 characters); only the last is shorter. A longer line is data of another encoder.
  // Padding is left out: some encoders pad beyond the line's length.
  std::string_view data = WithoutTrailingBlanks(line);
  while (!data.empty() && data.back() == '=') data.remove_suffix(1);
  const std::size_t length = data.size();
  if (dataLineLength_ == 0) dataLineLength_ = length;
  if (length > dataLineLength_) return Verdict::EndsHere;
  afterData_ = true;
  dataEnded_ = line.find('=') != std::string_view::npos || length < dataLineLength_;
  return Verdict::Fits;
}

std::string StrayClosingBoundary(std::string_view headerBlock, std::string_view body) {
  // A boundary is 1 to 70 characters (RFC 2046 5.1.1); one of a few is a rule of dashes.
  constexpr std::size_t kShortestBoundary = 8;
  constexpr std::size_t kLongestBoundary = 70;
  // A line of data a word of text cannot be: long, or padded at its end.
  constexpr std::size_t kShortestDataLine = 16;
  PartEncodingWatch watch(headerBlock);
  if (watch.body_ != PartEncodingWatch::Encoding::Base64) return {};
  std::vector<std::string_view> delimiters;  // of the parts seen so far
  // Only lines that begin with "--" can close the data; base64 holds no "-".
  for (std::size_t at = body.find("--"); at != std::string_view::npos;
       at = body.find("--", at + 2)) {
    if (at > 0 && body[at - 1] != '\n') continue;
    const std::size_t end = body.find('\n', at);
    std::string_view line = body.substr(at, end == std::string_view::npos ? end : end - at);
    line = WithoutTrailingBlanks(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line);
    if (line.size() < kShortestBoundary + 2 || line.size() > kLongestBoundary + 4) continue;
    const std::string_view token = line.substr(2);
    // The closing line of the first parts seen (a multipart whose header block stands in the
    // body; an inner one's closing line is followed by more of it), or the body's first
    // boundary line of all where it closes.
    std::string_view closed;
    if (!delimiters.empty() && token.size() == delimiters.front().size() + 2 &&
        token.starts_with(delimiters.front()) && token.ends_with("--"))
      closed = delimiters.front();
    if (closed.empty() && delimiters.empty() && token.size() >= kShortestBoundary + 2 &&
        token.ends_with("--"))
      closed = token.substr(0, token.size() - 2);
    // The line before: base64 data, its line break taken off.
    std::string_view before = at >= 2 ? body.substr(0, at - 1) : std::string_view();
    if (before.ends_with('\r')) before.remove_suffix(1);
    const std::size_t lineFeed = before.rfind('\n');
    before =
        WithoutTrailingBlanks(before.substr(lineFeed == std::string_view::npos ? 0 : lineFeed + 1));
    const bool behindData =
        IsBase64Line(before) && (before.size() >= kShortestDataLine || before.ends_with('='));
    if (!closed.empty() && behindData && closed.back() != ' ') return std::string(closed);
    delimiters.push_back(token);
  }
  return {};
}

}  // namespace quillon::mail_reader
