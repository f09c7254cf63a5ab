// What a mail's bytes say for telling copies of one message from mails that only look alike: a
// print of its whole text, from its first header line to its end. Two copies are one message
// when their texts are the same, or one is a whole prefix of the other (a copy cut short, or one
// whose end the scan could not tell and read on into other bytes).
//
// A print keeps digests rather than bytes, so that every first copy costs little. Where two
// copies differ in length, the longer one's text is digested again as far as the shorter reaches:
// the text in hand, or the first copy's read again from the source.
//
// The header lines above the From line are printed apart: a copy found at a later line of its
// header block (its trace line, behind bytes that hid its first lines) is read from there, and
// shares with a copy found at its first line the text from the From line on and the last of the
// lines above it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "scan/source_bytes.h"

namespace quillon {

struct MailPrint {
  // The header lines above the From line (none when the text begins with it or has none).
  std::uint64_t aboveDigest = 0;
  // The header block from the From line to its empty line, which copies share whole.
  std::uint64_t headerDigest = 0;
  // The text from the From line on.
  std::uint64_t digest = 0;
  // Their lengths: a printed text is no longer than a few MiB.
  std::uint32_t aboveLength = 0;
  std::uint32_t headerLength = 0;
  std::uint32_t length = 0;
  bool known = false;  // the header block ends in the text: without that, bytes tell nothing
  bool open = false;   // the text may go on behind what was printed: its end was not seen
};

// A mail's text: `size` bytes from `data` on, from the line it was found at to where it ends.
struct MailText {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

MailPrint PrintOf(MailText text);

// Whether two prints have the same header block from the From line on.
bool SameHeader(const MailPrint& a, const MailPrint& b);

// Whether the lines above the From line in `text` (of which `print` was made) end with those
// `fewer` was made of: the same lines, read from a later one of them.
bool EndsWithLinesAbove(MailText text, const MailPrint& print, const MailPrint& fewer);

// Whether `text`, of which `print` was made, holds the text `shorter` was made of from its From
// line on (the text of a copy no longer than this one).
bool BeginsWith(MailText text, const MailPrint& print, const MailPrint& shorter);

// The index of the line start at or before `at` in `text`, `from` at the earliest.
std::size_t LineStartBefore(MailText text, std::size_t from, std::size_t at);

// Whether a mail's header block begins at index `at` of `text`: header lines up to an empty line
// or the text's end, one of them a field only a mail's header has (From, Date, Received,
// Return-Path, Message-ID, Delivered-To), which the headers of a MIME part have not.
bool BeginsMailHeader(MailText text, std::size_t at);

// Whether a mailbox's separator line begins at index `at` of `text`: "From ", the sender and a
// date (RFC 4155), which in a mailbox's message would have been quoted; the line may run on past
// the text's end only behind its date.
bool BeginsMailboxSeparator(MailText text, std::size_t at);

// The index of the first mailbox separator line behind an empty line in `text` that begins at
// `from` or later and whose "From " lies before `to`; `text.size` when there is none.
std::size_t FindMailboxSeparator(MailText text, std::size_t from, std::size_t to);

// How many bytes two texts have in common from index `aFrom` of one and `bFrom` of the other on.
std::size_t CommonLength(MailText a, std::size_t aFrom, MailText b, std::size_t bFrom);

// The text of a mail that begins at index `start` of `buffer`, no further than `limit`: up to the
// first zero byte, or up to the end of the last whole line before another byte that cannot be a
// mail's (a control byte, other than the escape that 7-bit Japanese text holds and a stray one or
// two in a field line, which the header reader takes as the line's own). A store's block
// header between two pieces of the text is stepped over: the text's bytes without such headers are
// then put in `stepped`, and the returned text lies there. Where the caller knows that the bytes
// from `start` up to `textUpTo` hold nothing but text and escapes (a text read before, that ran on
// to its bound), they are not looked at again: the result is the same.
MailText TextFrom(CarveBuffer buffer, std::size_t start, std::size_t limit, std::string& stepped,
                  std::size_t textUpTo = 0);

}  // namespace quillon
