// Parts sent with no transfer encoding at all ("Content-Transfer-Encoding: binary", RFC 2045
// 2.9 and 6.2): their bytes may take any value, NULs, control bytes and bare line breaks too, so
// none of them tells where old data behind a mail begins. Such a part ends where its multipart's
// next boundary line stands. A part whose boundary line never comes is cut off by a reach, so
// that no part swallows the disk behind it; a mail of one part has no line to end at and ends by
// the usual rules.
#pragma once

#include <cstddef>
#include <string_view>

namespace quillon {

// How far behind its first byte a raw part's boundary line is looked for.
inline constexpr std::size_t kRawPartReach = 64 * 1024;

// Whether a Content-Transfer-Encoding value names raw bytes ("binary", in any letter case).
bool NamesRawBytes(std::string_view transferEncoding);

// The index of the line break in front of the first boundary line ("--" `boundary`, a part's or
// the closing one) behind `from` in `text`; npos when `text` holds none. The caller bounds
// `text` by the reach.
std::size_t RawPartEnd(std::string_view text, std::size_t from, std::string_view boundary);

// A raw part in a mail's text: its body [begin, end), `end` being where the line break in front
// of its boundary line begins.
struct RawPart {
  std::size_t begin = std::string_view::npos;
  std::size_t end = std::string_view::npos;
  bool Found() const { return begin != std::string_view::npos; }
};

// The first raw part in `text` whose boundary line comes within the reach and whose body ends
// behind `from`: told by a boundary line, part header lines that name raw bytes, and its
// boundary line again.
RawPart FindRawPart(std::string_view text, std::size_t from = 0);

// Where the lines of a mail's `text`, read in order, go on at `at`: behind the line break in
// front of the boundary line of the raw part `at` stands in, else at `at`. `part` keeps the raw
// part the next call may meet (FindRawPart from the body's start, at first).
std::size_t PastRawPart(std::string_view text, std::size_t at, RawPart& part);

// The first NUL that ends a mail's text (TextEndingNul) outside its raw parts; npos when none.
std::size_t MailEndingNul(std::string_view text);

}  // namespace quillon
