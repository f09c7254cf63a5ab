#include "scan/reread/mail_extent_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "scan/lines/header_fields.h"
#include "scan/lines/line_reader.h"
#include "scan/lines/raw_part.h"
#include "scan/read/store_chain.h"
#include "scan/reread/body_line_ends.h"
#include "scan/reread/epilogue.h"
#include "scan/reread/last_line.h"
#include "scan/reread/mail_reader_source.h"
#include "scan/reread/mail_reader_window.h"
#include "scan/reread/old_text_lines.h"
#include "scan/reread/own_header_values.h"
#include "scan/reread/part_encoding_watch.h"
#include "text/ascii.h"

namespace quillon::mail_reader {

namespace {

constexpr std::size_t kStep = 64 * 1024;
constexpr std::uint64_t kEpilogueLook = 4096;
// The longest last line without a line break read through to its end.
constexpr std::size_t kLongestLastLine = 64 * 1024;

// True when the text in front of `end` ends its last line with a bare LF.
bool EndsLineFeedOnly(std::string_view text, std::size_t end) {
  return end >= 1 && text[end - 1] == '\n' && (end < 2 || text[end - 2] != '\r');
}

// Where a mail ends in `text`, which the scan took to end at a NUL or where it stopped looking
// (`tail`): old bytes may lie between the mail's last line and that end. Behind a closing
// boundary the epilogue's rules tell; else the line rules of FindTextEnd do. A NUL here is a
// sector that could not be read, and ends nothing.
std::size_t EndBeforeOldBytes(std::string_view text, std::string_view boundary, TextTail tail) {
  if (!boundary.empty()) {
    if (const ClosingBoundaryLine closing = FindOutermostClosingLine(text, boundary, 0);
        closing.found) {
      if (ClosingLineRunsIntoData(text, closing.behind)) return closing.behind;
      const std::size_t lineEnd = text.find('\n', closing.behind);
      if (lineEnd == std::string_view::npos) return text.size();
      return lineEnd + 1 +
             EpilogueLength(text.substr(lineEnd + 1), BehindText::MailEnd,
                            EndsLineFeedOnly(text, lineEnd + 1));
    }
  }
  const std::size_t end = FindTextEnd(text, {}, false, tail);
  return end < MailEndingNul(text) ? end : text.size();
}

// The header lines from `at` up to the empty line that ends them (or the end of `text`).
std::string_view HeaderBlockAt(std::string_view text, std::size_t at) {
  const EmptyLineFound empty = FindEmptyLine(text, at);
  return text.substr(at, empty.Found() ? empty.lineFeed + 1 - at : std::string_view::npos);
}

// The boundary the mail's text ends by: the record's (not one a single part's type carries), or
// where the scan read none, the one its header block (at the start of `text`) names, or the one
// of a closing line behind its base64 data whose multipart header was lost.
std::string BoundaryOf(const MailRecord& record, std::string_view text) {
  if (!record.boundary.empty() && !NamesSinglePart(record.contentType.View()))
    return record.boundary.String();
  const std::size_t headerEnd = FindEmptyLine(text).lineFeed;
  if (headerEnd == std::string_view::npos) return {};
  const std::string_view header = text.substr(0, headerEnd);
  std::string boundary = MultipartBoundaryOf(header);
  return boundary.empty() ? StrayClosingBoundary(header, text.substr(headerEnd + 1)) : boundary;
}

// True when the line around `at` in `text` holds stray control bytes in text.
bool StrayControlsAt(std::string_view text, std::uint64_t at) {
  if (at >= text.size()) return false;
  const std::size_t begin = text.rfind('\n', static_cast<std::size_t>(at));
  const std::size_t from = begin == std::string_view::npos ? 0 : begin + 1;
  const std::size_t lineEnd = text.find('\n', from);
  std::string_view line =
      text.substr(from, lineEnd == std::string_view::npos ? lineEnd : lineEnd - from);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return HoldsStrayControls(line);
}

}  // namespace

bool HasKnownExtent(const MailRecord& record) {
  const MailExtent extent = record.Extent();
  return extent.inStore || extent.textStartKnown || record.foundBy == FoundBy::Shape;
}

std::size_t FindTextEnd(std::string_view text, std::string_view boundary, bool endAtTraceLines,
                        TextTail tail) {
  // A stray NUL in a line of the mail's text is no end of it.
  const std::size_t nul = MailEndingNul(text);
  const std::string_view data = text.substr(0, nul);
  // The header block ends at the first empty line; nothing in it ends the mail.
  const EmptyLineFound headerEnd = FindEmptyLine(data);
  // A header block that no empty line ends and that runs into old bytes is the whole mail, cut
  // in its last line where the text stops, as the scan read it.
  if (!headerEnd.Found()) {
    if (const std::size_t stop = HeaderBlockTextStop(data); stop < data.size()) return stop;
  }
  const std::size_t body = headerEnd.Found() ? headerEnd.behind : data.size();
  if (!boundary.empty()) {
    if (const ClosingBoundaryLine closing =
            FindOutermostClosingLine(data, boundary, body > 0 ? body - 1 : 0);
        closing.found) {
      if (ClosingLineRunsIntoData(data, closing.behind)) return closing.behind;
      const std::size_t end = data.find('\n', closing.behind);
      // What follows (an epilogue, empty lines) is for the caller to weigh.
      return end == std::string_view::npos ? data.size() : end + 1;
    }
    // No closing boundary: the mail was cut short; the line rules below tell where.
  }
  const CarveBuffer buffer = BufferOf(data);
  bool previousEmpty = false;
  std::size_t previousLine = body;
  // Old text behind a mail seldom ends its lines the way the mail's header block does: lines in
  // a row that end otherwise are no part of the mail, which ends at the first of them.
  bool lineFeedMail = !headerEnd.Found() || headerEnd.EndsInLineFeedOnly();
  if (BodyTakesOwnLineEnds(data.substr(0, body), data.substr(body), boundary, lineFeedMail))
    lineFeedMail = !lineFeedMail;
  std::size_t otherEndings = 0;
  std::size_t firstOtherEnding = body;
  PartEncodingWatch encoding(data.substr(0, body));
  std::size_t doubtfulLine = body;
  const bool htmlText = boundary.empty() && DeclaresHtmlText(data.substr(0, body));
  bool htmlClosed = false;
  // Markup behind a plain text: an old page's lines, where they run up to where the bytes end.
  MarkupRun markup;
  const bool plainText = boundary.empty() && DeclaresPlainText(data.substr(0, body));
  std::size_t quotedHeaderEnd = 0;               // behind the header block of a mail quoted whole
  std::size_t cutLine = std::string_view::npos;  // the last line, when no line break ends it
  RawPart rawPart = FindRawPart(data, body);     // a raw part holds no lines: passed over
  for (std::size_t at = body; at < data.size();) {
    if (at = PastRawPart(data, at, rawPart); at >= data.size()) break;
    const Line line = ReadLine(buffer, at, kBodyLineRules);
    std::string_view content = TextOf(buffer, line);
    // The last line has no line feed; a CR that ends it is no part of it either.
    if (!line.complete && !content.empty() && content.back() == '\r') content.remove_suffix(1);
    // A line cut short by a NUL or the end of the bytes may be the head of binary data (a store
    // block's header): only a whole line is given the benefit of a stray control byte.
    if (line.complete ? ReadsAsBinaryBytes(content, line.binary) : HoldsNonText(content))
      return otherEndings > 0 ? firstOtherEnding : at;
    // Text behind a part's base64 data is no data that part's encoding produces.
    if (line.complete) {
      switch (encoding.Judge(content)) {
        case PartEncodingWatch::Verdict::Fits:
          break;
        case PartEncodingWatch::Verdict::Doubtful:
          doubtfulLine = at;
          break;
        case PartEncodingWatch::Verdict::EndsHere:
          return otherEndings > 0 ? firstOtherEnding : at;
        case PartEncodingWatch::Verdict::EndsAtDoubtful:
          return doubtfulLine;
      }
    }
    if (line.complete && line.lineFeedOnly != lineFeedMail) {
      // An empty line cannot be the mail's last line without a line break of its own that took
      // the old bytes' one: it is where the old bytes begin (behind a CR their LF was cut from).
      if (content.empty())
        return otherEndings > 0 ? OldBytesBehindLastLine(data, firstOtherEnding) : at;
      if (otherEndings++ == 0) firstOtherEnding = at;
      if (otherEndings == kOtherEndingsThatEnd)
        return OldBytesBehindLastLine(data, firstOtherEnding);
    } else if (line.complete) {
      otherEndings = 0;
    }
    if (plainText && line.complete) markup.Add(at, content);
    if (htmlText && line.complete) {
      // A page's head behind the closed document, without a document of its own opening, is an
      // old page's.
      const HtmlDocument document = HtmlDocumentOf(content);
      if (htmlClosed && document == HtmlDocument::Neither && HoldsPageHead(content))
        return otherEndings > 0 ? firstOtherEnding : at;
      if (document != HtmlDocument::Neither) htmlClosed = document == HtmlDocument::Closes;
    }
    // A mailbox separator, and the blank line before it, begin the next mail.
    // Quoted mailbox text is common in bodies; a separator ends the mail only when the next
    // mail's start is not known (where it is, the separator in front of it is trimmed).
    if (endAtTraceLines && previousEmpty && content.size() > 5 &&
        IsMboxSeparator(content, MboxSeparatorRule::Prefix) && line.complete) {
      const std::string_view behind = HeaderBlockAt(data, line.next);
      if (!QuotesAMail(content, data.substr(0, body), behind)) return previousLine;
      quotedHeaderEnd = line.next + behind.size();
    }
    // Without knowing where the next mail begins, its trace line is the best sign of it; the
    // mail ends at the line break before it.
    if (endAtTraceLines && at > body && at >= quotedHeaderEnd && OpensAMail(content))
      return LineBreakStart(data, at);
    // A forwarded mail's header block, trace lines and all, is text of this one.
    if (line.complete && IntroducesQuotedMail(content))
      quotedHeaderEnd = line.next + HeaderBlockAt(data, line.next).size();
    previousEmpty = content.empty();
    previousLine = at;
    if (!line.complete) {
      if (!content.empty()) cutLine = at;
      break;
    }
    at = line.next;
  }
  // A line that runs into binary data is no line of the mail's either, unless it is the body's
  // only one: a mail without a line break at its end is followed by its file's zeros, not by a
  // few bytes and a NUL amid data.
  if (tail == TextTail::BinaryData && cutLine != std::string_view::npos && cutLine > body)
    return otherEndings > 0 ? firstOtherEnding : cutLine;
  // Lines ending otherwise that run up to where the mail's bytes end are old bytes too: nothing
  // of the mail's own follows them. Not the body's first line, though: a mail whose last line
  // has no line break of its own takes the old bytes' one, and a body is seldom empty.
  const bool endsThere = nul != std::string_view::npos || tail != TextTail::Open;
  std::size_t oldBytes = std::string_view::npos;
  if (otherEndings > 0 && firstOtherEnding > body)
    oldBytes = OldBytesBehindLastLine(data, firstOtherEnding);
  if (markup.Start() != std::string_view::npos && markup.Start() > body)
    oldBytes = std::min(oldBytes, markup.Start());
  return endsThere && oldBytes != std::string_view::npos ? oldBytes : nul;
}

void ReadKnownExtent(const MailRecord& record, DataSource& source, std::string& output,
                     const std::atomic<bool>* stopRequested, bool zerosForUnreadable,
                     TextOrigin* origin) {
  const MailExtent extent = record.Extent();
  RescuedSource rescued(source, stopRequested);
  if (extent.inStore) {
    const std::uint64_t sourceEnd = source.SizeBytes();
    const SourceBytesReader reader = [&](std::uint64_t offset, std::size_t count,
                                         std::uint8_t* out) {
      if ((stopRequested && stopRequested->load()) || offset + count > sourceEnd) return false;
      rescued.Read(offset, count, out);
      return true;
    };
    // A scattered chain was placed by the scan; one in a piece is followed by its offsets.
    StoreChainText chain = extent.storePieces
                               ? ReadStorePieces(reader, *extent.storePieces)
                               : ReadStoreChain(reader, extent.storeBlock, kMaxMailBytes);
    // The mail begins at its first header line, not at the blanks some store messages open with.
    if (extent.textStartKnown) DropTextBefore(chain, extent.textStart);
    output = CleanKnownMailText(chain.text);
    if (!zerosForUnreadable) return;
    // The chain's text is its pieces one after the other.
    std::uint64_t at = 0;
    for (const auto& [piece, length] : chain.pieces) {
      if (origin && at < output.size())
        origin->pieces.push_back({at, piece, std::min<std::uint64_t>(length, output.size() - at)});
      for (const auto& [from, to] : SpansWithin(rescued.Unreadable(), piece, length)) {
        ZeroSpans(output, {{at + from, at + to}});
        if (origin && at + from < output.size())
          origin->unreadable.emplace_back(at + from,
                                          std::min<std::uint64_t>(at + to, output.size()));
      }
      at += length;
    }
    return;
  }
  const std::uint64_t start = extent.TextStartOr(record.StartByte());
  std::uint64_t end = record.ReadBody([](const BodyFacts& body) { return body.textEnd; });
  if (extent.multipartEnd > start && (end <= start || extent.multipartEnd < end))
    end = extent.multipartEnd;
  // The next mail's first line ends this one, at the line break before it when a blank line
  // separates them; what the rules find earlier ends it earlier.
  std::uint64_t limit = extent.nextMailStart > start ? extent.nextMailStart : 0;
  if (limit > start) {  // a mail forwarded in this one's text is no next mail
    std::string before(static_cast<std::size_t>(std::min<std::uint64_t>(limit - start, 256)), 0);
    rescued.Read(limit - before.size(), before.size(),
                 reinterpret_cast<std::uint8_t*>(before.data()));
    if (EndsIntroducingQuotedMail(before)) limit = 0;
  }
  if (limit > start && end > limit) end = limit;  // no mail runs into the next one
  const std::uint64_t sourceEnd = source.TotalSectors() * kSectorSize;
  std::string text;
  std::uint64_t position = start;
  // Behind a closing boundary an epilogue (empty lines, a list footer) may follow: look a little
  // further.
  std::uint64_t knownEnd = end;
  if (end > start) end += kEpilogueLook;
  if (end > start && limit > start && end > limit) end = std::max(limit, knownEnd);
  const auto readOn = [&] {
    while (position < sourceEnd && text.size() < kMaxMailBytes &&
           !(stopRequested && stopRequested->load())) {
      const std::uint64_t stop = end > start ? end : limit;
      if (stop > start && position >= stop) break;
      const std::uint64_t wanted = stop > start ? stop - position : kStep;
      const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(
          {wanted, sourceEnd - position, kMaxMailBytes - text.size(), 16 * kStep}));
      if (count == 0) break;
      const std::size_t at = text.size();
      text.resize(at + count, '\0');
      rescued.Read(position, count, reinterpret_cast<std::uint8_t*>(text.data() + at));
      position += count;
      if (end > start) {
        if (position >= end) break;
        continue;
      }
      if (stop <= start &&
          FindTextEnd(text, BoundaryOf(record, text), limit <= start) != std::string_view::npos)
        break;
    }
  };
  readOn();
  // The scan ends a mail at binary bytes; a line of text with a stray control byte is no such end,
  // nor a closing line the boundary goes on behind: the rules below look for the end behind it.
  if (knownEnd > start &&
      (StrayControlsAt(text, knownEnd - start) ||
       (extent.multipartEnd > knownEnd &&
        ClosesANestedMultipart(text, knownEnd - start, BoundaryOf(record, text))))) {
    knownEnd = extent.multipartEnd > knownEnd ? extent.multipartEnd : 0;
    end = knownEnd > start ? knownEnd + kEpilogueLook : 0;
    if (end > start && limit > start && end > limit) end = std::max(limit, knownEnd);
    readOn();
  }
  const BehindText behind =
      limit > start && start + text.size() >= limit ? BehindText::NextMail : BehindText::Unread;
  std::string boundary = BoundaryOf(record, text);
  const std::size_t damagedSpotEnd = PassDamagedSpot(text, start, knownEnd, boundary);
  // A last line longer than the look behind the mail's known end (a text sent as one line of
  // base64) runs on past what was read: read on through it, so that the rules below see where
  // it ends.
  const auto readThroughLine = [&](std::size_t at) {
    while (end > start && at < text.size() && text.size() - at < kLongestLastLine &&
           PrintableRunEnd(text, at) == text.size()) {
      std::uint64_t further = std::min<std::uint64_t>(position + kEpilogueLook, sourceEnd);
      if (limit > start) further = std::min(further, limit);
      if (further <= position) return;
      end = further;
      const std::size_t before = text.size();
      readOn();
      if (text.size() == before) return;
    }
  };
  const auto toClusterEnd = [&](std::size_t at) {
    readThroughLine(at);
    std::size_t line = LastLineToClusterEnd(text, at, start, boundary);
    // A line that runs on across the cluster's end into binary data is one line: more printable
    // characters behind the cluster's end than random bytes begin with.
    const std::size_t intoData = LastLineIntoData(text, at);
    if (line == 0 || intoData >= line + kLastLineIntoData) {
      // A base64 body's last line ends with its last whole quantum: random bytes behind it may
      // begin with a few printable characters, which the plain line would take too.
      const std::size_t base64Tail = Base64TailIntoData(text, at);
      line = base64Tail > 0 && intoData < base64Tail + kLastLineIntoData ? base64Tail : intoData;
    }
    return limit > start && start + at + line > limit ? 0 : line;  // the next mail's line
  };
  if (knownEnd > start) {
    const std::size_t known =
        static_cast<std::size_t>(std::min<std::uint64_t>(knownEnd - start, text.size()));
    const TextTail tail =
        NulAmidData(text, known, start) ? TextTail::BinaryData : TextTail::MailEnd;
    const std::size_t textEnd =
        EndBeforeOldBytes(std::string_view(text).substr(0, known), boundary, tail);
    if (textEnd < known) {
      // The epilogue's last line may have no line break of its own where the file ended.
      const std::size_t toFileEnd = LastLineToFileEnd(text, textEnd, start);
      text.resize(textEnd + (toFileEnd > 0 ? toFileEnd : toClusterEnd(textEnd)));
    } else {
      const std::size_t kept = known + EpilogueLength(std::string_view(text).substr(known), behind,
                                                      EndsLineFeedOnly(text, known));
      const std::size_t toFileEnd = LastLineToFileEnd(text, kept, start);
      text.resize(kept + (toFileEnd > 0 ? toFileEnd : toClusterEnd(kept)));
    }
  } else {
    // The next mail's first line ends this one's bytes as a NUL would.
    const TextTail tail = NulAmidData(text, MailEndingNul(text), start) ? TextTail::BinaryData
                          : behind == BehindText::NextMail              ? TextTail::MailEnd
                                                                        : TextTail::Open;
    const std::size_t textEnd = FindTextEnd(text, boundary, limit <= start, tail);
    if (textEnd != std::string_view::npos) {
      // Nothing follows a closing boundary line that runs into data.
      const bool intoData = textEnd >= 2 && text.compare(textEnd - 2, 2, "--") == 0 &&
                            ClosingLineRunsIntoData(text, textEnd);
      const std::size_t epilogue = boundary.empty() || intoData
                                       ? 0
                                       : EpilogueLength(std::string_view(text).substr(textEnd),
                                                        behind, EndsLineFeedOnly(text, textEnd));
      // The epilogue's last line may have no line break of its own where the file ended.
      const std::size_t kept = textEnd + epilogue;
      const auto fileEnd = boundary.empty() || intoData ? 0 : LastLineToFileEnd(text, kept, start);
      text.resize(kept + (fileEnd > 0 ? fileEnd : epilogue > 0 ? 0 : toClusterEnd(textEnd)));
    } else if (limit > start && start + text.size() >= limit) {
      text.resize(TrimSeparatorBeforeNextMail(text));
    }
  }
  output = CleanKnownMailText(text, damagedSpotEnd);
  if (!zerosForUnreadable) return;
  const ByteSpans unreadable = SpansWithin(rescued.Unreadable(), start, output.size());
  ZeroSpans(output, unreadable);
  if (origin && !output.empty()) {
    origin->pieces.push_back({0, start, output.size()});
    origin->unreadable.assign(unreadable.begin(), unreadable.end());
  }
}

}  // namespace quillon::mail_reader
