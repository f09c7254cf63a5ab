#include "scan/merge/duplicate_marker.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "scan/lines/line_reader.h"
#include "scan/merge/duplicate_text_end.h"
#include "scan/merge/held_in_hand.h"
#include "scan/merge/lines_above_copies.h"
#include "scan/read/block_header.h"
#include "scan/read/unreadable_sectors.h"
#include "scan/shape/field_names.h"

namespace quillon {

namespace {

constexpr std::size_t kStoreBlockData = 0x200;  // the least a store block holds
// How far in front of two copies' texts the lines are compared that a find may have left out.
constexpr std::uint64_t kLookBack = 8192;

// Whether `line`, no header line, ends in one whose known field name other bytes run into: the
// first line of a header block glued behind them.
bool EndsInAGluedField(std::string_view line) {
  constexpr std::size_t kLongestName = 40;
  for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
       colon = line.find(':', colon + 1)) {
    const std::size_t earliest = colon > kLongestName ? colon - kLongestName : 1;
    for (std::size_t name = std::max<std::size_t>(earliest, 1); name + 2 <= colon; ++name) {
      const std::string_view field = line.substr(name, colon - name);
      if (std::all_of(field.begin(), field.end(), shape_names::IsNameByte) &&
          shape_names::IsKnownFieldName(field) && IsHeaderLine(line.substr(name)))
        return true;
    }
  }
  return false;
}

// How far behind the longer print a text is read again at first, to see where two texts part.
constexpr std::size_t kReadStep = 4096;

}  // namespace

bool DuplicateMarker::HeldByTheMailAround(std::uint64_t at) const {
  if (!readSource_) return true;
  const std::size_t size = static_cast<std::size_t>(std::min(at, kLookBack));
  std::string room;
  const std::optional<std::string_view> before = SourceBytes(at - size, size, room);
  if (!before) return true;
  // Upwards over the header lines in front of the find (it may have been found at a later one).
  std::string_view rest = *before;
  for (;;) {
    const std::uint64_t top = at - (size - rest.size());
    if (top % kSectorSize == 0) return false;  // a header block at a sector start
    if (rest.empty()) return true;
    if (rest.back() != '\n') return false;  // its first line runs on from other bytes
    if (rest.size() < 2) return true;
    const std::size_t lineFeed = LastLineFeedAtOrBefore(rest, rest.size() - 2);
    if (lineFeed == std::string_view::npos) return true;
    const std::string_view line = rest.substr(lineFeed + 1);
    rest = rest.substr(0, lineFeed + 1);
    if (IsHeaderLine(line)) continue;
    if (EndsInAGluedField(line)) return false;
    if (!IsMboxSeparator(line)) return true;
    // Behind a mailbox's separator line a message of its own begins, unless the separator
    // stands right behind the header of a MIME part: a message attached with its separator.
    const std::size_t emptyLine = rest.ends_with("\r\n\r\n") ? 2 : rest.ends_with("\n\n") ? 1 : 0;
    if (emptyLine == 0) return false;
    rest.remove_suffix(emptyLine);
    const std::size_t above = LastLineFeedAtOrBefore(rest, rest.size() - 2);
    return above != std::string_view::npos && IsHeaderLine(rest.substr(above + 1));
  }
}

std::optional<std::string_view> DuplicateMarker::SourceBytes(std::uint64_t from, std::size_t size,
                                                             std::string& room) const {
  if (const std::uint8_t* bytes = HeldInHand(inHand_, from, size))
    return std::string_view(reinterpret_cast<const char*>(bytes), size);
  room.resize(size);
  if (!readSource_(from, size, reinterpret_cast<std::uint8_t*>(room.data()))) return std::nullopt;
  return room;
}

std::uint8_t* DuplicateMarker::ReadRoom::Reserve(std::size_t size) {
  if (size > capacity) {
    bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    capacity = size;
  }
  return bytes.get();
}

namespace {

// Room for the block headers a store's blocks would put between the pieces of `size` bytes of
// text.
std::size_t WithBlockHeaders(std::size_t size) {
  return size + (size / kStoreBlockData + 2) * kBlockHeaderSize;
}

}  // namespace

MailText DuplicateMarker::ReadAgain(const FirstCopy& copy, std::size_t size, ReadRoom& room,
                                    std::string& stepped) const {
  if (!readSource_) return {};
  if (copy.storeBlock != 0) return ChainText(copy.storeBlock, copy.textStart, {}, room.chain);
  const BytesRead read = BytesAgain(copy, size, room);
  return read.bytes ? TextIn(copy, read, read.reach, stepped) : MailText{};
}

DuplicateMarker::BytesRead DuplicateMarker::BytesAgain(const FirstCopy& copy, std::size_t size,
                                                       ReadRoom& room) const {
  if (!readSource_) return {};
  // Less near the source's end.
  for (std::size_t reach = WithBlockHeaders(size); reach >= kStoreBlockData; reach /= 2) {
    if (const std::uint8_t* bytes = HeldInHand(inHand_, copy.textStart, reach))
      return {bytes, reach};
    std::uint8_t* read = room.Reserve(reach);
    if (readSource_(copy.textStart, reach, read)) return {read, reach};
  }
  return {};
}

MailText DuplicateMarker::TextIn(const FirstCopy& copy, BytesRead read, std::size_t limit,
                                 std::string& stepped) const {
  const std::size_t printed = copy.printedTextOnly ? copy.print.aboveLength + copy.print.length : 0;
  return TextFrom({read.bytes, read.reach, copy.textStart}, 0, std::min(limit, read.reach), stepped,
                  printed);
}

std::optional<bool> DuplicateMarker::PartedEarly(const FirstCopy& mine, const FirstCopy& copy,
                                                 BytesRead ourRead, BytesRead theirRead,
                                                 std::size_t limit) const {
  const MailPrint& ours = mine.print;
  const MailPrint& theirs = copy.print;
  std::string ourStepped, theirStepped;
  MailText our = TextIn(mine, ourRead, limit, ourStepped);
  MailText their = TextIn(copy, theirRead, limit, theirStepped);
  if (!ours.open) our.size = std::min<std::size_t>(our.size, ours.aboveLength + ours.length);
  if (!theirs.open)
    their.size = std::min<std::size_t>(their.size, theirs.aboveLength + theirs.length);
  if (our.size < ours.aboveLength || their.size < theirs.aboveLength) return std::nullopt;
  // Where they part inside these texts, they part at the same byte in the texts looked through
  // further, which begin with them.
  const std::size_t common = CommonLength(our, ours.aboveLength, their, theirs.aboveLength);
  if (common >= std::min(our.size - ours.aboveLength, their.size - theirs.aboveLength))
    return std::nullopt;
  // What SameText asks of texts that part, up to where it looks behind where they part.
  if (ours.aboveLength > theirs.aboveLength   ? !EndsWithLinesAbove(our, ours, theirs)
      : ours.aboveLength < theirs.aboveLength ? !EndsWithLinesAbove(their, theirs, ours)
                                              : false)
    return false;
  if (common <= ours.headerLength) return false;
  if ((ours.open && common == ours.length) || (theirs.open && common == theirs.length)) return true;
  return std::nullopt;
}

bool DuplicateMarker::SameLinesBefore(const FirstCopy& mine, const FirstCopy& copy) const {
  const std::uint64_t fromLines[2] = {mine.FromLine(), copy.FromLine()};
  if (!readSource_ || fromLines[0] == 0 || fromLines[1] == 0) return true;
  std::string rooms[2];
  std::string_view rest[2];
  for (int i = 0; i < 2; ++i) {
    const std::uint64_t from = fromLines[i] - std::min(fromLines[i], kLookBack);
    const std::optional<std::string_view> before =
        SourceBytes(from, static_cast<std::size_t>(fromLines[i] - from), rooms[i]);
    if (!before) return true;
    rest[i] = *before;
  }
  // Line by line upwards, while both are header lines. A line begins behind a line feed or
  // behind a byte that is no text (zeros in front of a copy's first line, other data).
  for (;;) {
    std::string_view line[2];
    for (int i = 0; i < 2; ++i) {
      if (rest[i].size() < 2 || rest[i].back() != '\n') return true;
      const std::size_t first = LineStartBehindBreak(rest[i], rest[i].size() - 1);
      if (first == 0) return true;  // a line longer than the bytes read: no header line
      line[i] = rest[i].substr(first);
      rest[i] = rest[i].substr(0, first);
    }
    if (line[0] == line[1]) {
      if (!IsHeaderLine(line[0])) return true;
      continue;
    }
    // A first line with other bytes glued in front of it (in one copy or both): the lines end
    // alike from a field name on. Else they differ as header lines, unless one is none.
    std::size_t same = 0;
    while (same < line[0].size() && same < line[1].size() &&
           line[0][line[0].size() - 1 - same] == line[1][line[1].size() - 1 - same])
      ++same;
    const std::string_view alike = line[0].substr(line[0].size() - same);
    if (!alike.empty() && alike[0] != ' ' && alike[0] != '\t' && IsHeaderLine(alike)) return true;
    return !IsHeaderLine(line[0]) || !IsHeaderLine(line[1]);
  }
}

bool DuplicateMarker::SameMessage(const FirstCopy& mine, const FirstCopy& copy) const {
  // Header values alone never join a part of another mail with a mail; and two parts are
  // those of two copies of the mails around them (a digest found twice), which tell the copy.
  if (mine.inside && copy.inside) return false;
  if ((mine.inside || copy.inside) && (!mine.print.known || !copy.print.known)) return false;
  return SameText(mine, copy) && SameLinesBefore(mine, copy);
}

bool DuplicateMarker::SameText(const FirstCopy& mine, const FirstCopy& copy) const {
  const MailPrint& ours = mine.print;
  const MailPrint& theirs = copy.print;
  if (!ours.known || !theirs.known) return true;
  if (!SameHeader(ours, theirs)) return false;
  const bool sameAbove =
      ours.aboveLength == theirs.aboveLength && ours.aboveDigest == theirs.aboveDigest;
  if (ours.aboveLength == theirs.aboveLength && !sameAbove) return false;
  if (sameAbove && !ours.open && !theirs.open && ours.length == theirs.length &&
      ours.digest == theirs.digest)
    return true;
  // The texts read again: as far as the scan saw each end, or where it did not, on to where
  // they part or end (twice as far each time).
  ReadRoom ourBytes, theirBytes;
  std::string ourStepped, theirStepped;
  MailText our, their;
  std::size_t common = 0;
  const std::size_t shorter =
      std::min(ours.aboveLength + ours.length, theirs.aboveLength + theirs.length) + kReadStep;
  const std::size_t longer =
      std::max(ours.aboveLength + ours.length, theirs.aboveLength + theirs.length) + kReadStep;
  bool first = true;
  for (std::size_t reach = longer;; reach = std::min(2 * reach, kLongestPrintedText)) {
    if (std::exchange(first, false) && shorter < longer && mine.storeBlock == 0 &&
        copy.storeBlock == 0) {
      // Texts that part early, as most with the same values that are no copies do, are told
      // apart without looking through the longer one as far as it was printed.
      const BytesRead ourRead = BytesAgain(mine, reach, ourBytes);
      const BytesRead theirRead = BytesAgain(copy, reach, theirBytes);
      if (!ourRead.bytes || !theirRead.bytes) return false;
      if (const std::optional<bool> told =
              PartedEarly(mine, copy, ourRead, theirRead, WithBlockHeaders(shorter)))
        return *told;
      our = TextIn(mine, ourRead, ourRead.reach, ourStepped);
      their = TextIn(copy, theirRead, theirRead.reach, theirStepped);
    } else {
      our = ReadAgain(mine, reach, ourBytes, ourStepped);
      their = ReadAgain(copy, reach, theirBytes, theirStepped);
    }
    if (!our.data || !their.data) return false;
    if (!ours.open) our.size = std::min<std::size_t>(our.size, ours.aboveLength + ours.length);
    if (!theirs.open)
      their.size = std::min<std::size_t>(their.size, theirs.aboveLength + theirs.length);
    if (our.size < ours.aboveLength || their.size < theirs.aboveLength) return false;
    common = CommonLength(our, ours.aboveLength, their, theirs.aboveLength);
    const bool parted =
        common < std::min(our.size - ours.aboveLength, their.size - theirs.aboveLength);
    const bool readOn = (ours.open && our.size >= reach) || (theirs.open && their.size >= reach);
    if (parted || !readOn || reach == kLongestPrintedText) break;
  }
  if (ours.aboveLength > theirs.aboveLength   ? !EndsWithLinesAbove(our, ours, theirs)
      : ours.aboveLength < theirs.aboveLength ? !EndsWithLinesAbove(their, theirs, ours)
                                              : false)
    return false;
  // The same, or one a whole prefix of the other.
  if (common == std::min(our.size - ours.aboveLength, their.size - theirs.aboveLength)) return true;
  if (common <= ours.headerLength) return false;
  // Parting where the scan stopped following one of them: another mail begins there.
  if ((ours.open && common == ours.length) || (theirs.open && common == theirs.length)) return true;
  // Parting at a line that one of them ends otherwise than every line they share: old data
  // begins there, and that copy, ended in front of it, is a whole prefix of the other.
  if (OtherLinesBeginAt(our, ours.aboveLength, ours.aboveLength + common) ||
      OtherLinesBeginAt(their, theirs.aboveLength, theirs.aboveLength + common))
    return true;
  // Texts that run on past where the scan followed them and part at a line where a mail's header
  // block begins in both: another mail begins there behind each (mails lying back to back).
  if (ours.open || theirs.open) {
    const std::size_t line =
        LineStartBefore(our, ours.aboveLength, ours.aboveLength + common) - ours.aboveLength;
    if (line > ours.headerLength && BeginsMailHeader(our, ours.aboveLength + line) &&
        BeginsMailHeader(their, theirs.aboveLength + line))
      return true;
  }
  // Two messages of mailboxes whose texts run on past where the scan followed them and agree as
  // far as a next separator line behind the body: each ends in front of it, the mails behind
  // differ. (A mail outside a mailbox may carry one whole in its body, unquoted.)
  if ((ours.open || theirs.open) && mine.inMailbox && copy.inMailbox) {
    const std::size_t separator =
        FindMailboxSeparator(our, ours.aboveLength + ours.headerLength, ours.aboveLength + common);
    if (separator < our.size &&
        BeginsMailboxSeparator(their, separator - ours.aboveLength + theirs.aboveLength))
      return true;
  }
  // A copy cut short where a sector ends, and other bytes written behind it: the texts part
  // where a sector of one of them ends, inside the body.
  const auto sectorEnds = [](const FirstCopy& at, const std::string& stepped, std::size_t index) {
    return at.storeBlock == 0 && stepped.empty() && (at.textStart + index) % kSectorSize == 0;
  };
  return sectorEnds(mine, ourStepped, ours.aboveLength + common) ||
         sectorEnds(copy, theirStepped, theirs.aboveLength + common);
}

namespace {

// Whether `record` and the earlier `first` carry the same values for `key`.
bool SameValues(CopyKey key, const MailRecord& record, const MailRecord& first) {
  if (key == CopyKey::kMessageId) return record.messageId.View() == first.messageId.View();
  return record.from.View() == first.from.View() && record.to.View() == first.to.View() &&
         record.date.View() == first.date.View() && record.subject.View() == first.subject.View();
}

}  // namespace

std::uint32_t DuplicateMarker::FindCopy(CopyKey key, FirstCopy& mine, const MailRecord& record,
                                        std::span<const MailRecordPtr> found) {
  const std::size_t k = static_cast<std::size_t>(key);
  for (std::uint32_t number = firstCopies_.FirstUnder(key, mine.keys[k]);
       number != FirstCopies::kNone; number = firstCopies_.At(number).next[k]) {
    FirstCopy& copy = firstCopies_.Mutable(number);
    // A copy found by its trace line may have been read without the Message-ID above that line:
    // values alone then match it with a copy that has one, unless both have one and they differ.
    if (key == CopyKey::kValues && mine.hasId && copy.hasId) continue;
    if (copy.index >= found.size() || !found[copy.index] ||
        !SameValues(key, record, *found[copy.index]))
      continue;  // another key of the same hash
    MakeWaitingPrint(mine);
    MakeWaitingPrint(copy);
    if (SameMessage(mine, copy)) return number;
  }
  return FirstCopies::kNone;
}

void DuplicateMarker::Mark(MailRecord& record, std::size_t index, CarveBuffer buffer,
                           std::span<const MailRecordPtr> found) {
  // The texts compared are read from these bytes where they hold them, for this mark only.
  struct Forget {
    CarveBuffer& inHand;
    ~Forget() { inHand = {}; }
  } forget{inHand_ = buffer};
  FirstCopy mine;
  const MailExtent extent = record.Extent();
  mine.textStart = extent.TextStartOr(record.StartByte());
  mine.inside = record.partOf >= 0;
  // A find the scan took for a part of another mail may be a mail of its own glued behind one
  // whose end was not seen, or at a sector start behind it: it is a copy where its whole text
  // says so. One whose header block stands behind a whole line is the message a MIME part or a
  // forwarding text holds, and goes with the mail around it (asked first: its text need not be
  // printed then); so does one whose bytes tell nothing.
  if (mine.inside && HeldByTheMailAround(mine.textStart)) return;
  // Whether a part of another mail is a copy is told by its print at once.
  PrintOfRecord(record, buffer, !mine.inside, mine);
  if (mine.inside && !mine.print.known) return;
  mine.storeBlock = extent.inStore ? extent.storeBlock : 0;
  mine.inMailbox = extent.behindMailboxSeparator;
  mine.index = static_cast<std::uint32_t>(index);
  mine.hasId = !record.messageId.empty();
  mine.keys[static_cast<std::size_t>(CopyKey::kMessageId)] = KeyOf({record.messageId.View()});
  mine.keys[static_cast<std::size_t>(CopyKey::kValues)] =
      KeyOf({record.from.View(), record.to.View(), record.date.View(), record.subject.View()});

  std::uint32_t kept = FirstCopies::kNone;  // where `mine` went, once it is kept
  if (mine.hasId) {
    const std::uint32_t first = FindCopy(CopyKey::kMessageId, mine, record, found);
    if (first != FirstCopies::kNone) {
      record.duplicateOf = static_cast<std::int64_t>(firstCopies_.At(first).index);
      return;
    }
    kept = firstCopies_.Keep(mine);
    firstCopies_.List(kept, CopyKey::kMessageId);
  }
  const std::uint32_t first = FindCopy(CopyKey::kValues, mine, record, found);
  if (first != FirstCopies::kNone) {
    record.duplicateOf = static_cast<std::int64_t>(firstCopies_.At(first).index);
    return;
  }
  if (kept == FirstCopies::kNone) kept = firstCopies_.Keep(mine);
  firstCopies_.List(kept, CopyKey::kValues);
}

}  // namespace quillon
