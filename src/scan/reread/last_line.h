// A mail's last line when no line break ends it: where the mail's file ended in the middle of
// a line. Private to the re-reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillon::mail_reader {

// The length of a last line without a line break at `at` in `text` (which begins at byte `start`
// of the source) that the mail's file ended with: text up to a NUL inside a sector, zeros behind
// it up to the sector's end, as a file's end is padded. Old bytes behind a mail run on to the end
// of their cluster instead, and a file behind it begins at a sector's start. 0 when there is no
// such line.
std::size_t LastLineToFileEnd(std::string_view text, std::size_t at, std::uint64_t start);

// Clusters a file system hands out are this size or a multiple of it: a file cut where its
// cluster ends (its next cluster taken by other data) ends on such a boundary.
inline constexpr std::uint64_t kClusterBytes = 4096;

// True when `text`, a mail's text from its first header line (with `boundary`, its multipart
// boundary, or none), stops where the mail cannot have ended: inside its header block, before
// its closing boundary line, or inside an HTML text's document.
bool TextLeftOpen(std::string_view text, std::string_view boundary);

// The length of a last line without a line break at `at` in `text` (which begins at byte `start`
// of the source) of a mail whose text up to `at` is left open (TextLeftOpen): a mail whose file
// was cut where its cluster ends, the next cluster holding other data, which the rules that
// ended the mail at `at` saw. A mail whose text is complete ended with a line break of its own:
// a line across a cluster's end behind it is old bytes. Nor is a line cut amid a cluster kept:
// random bytes behind it read as 8-bit text, and where they begin is unknown. 0 when there is
// no such line.
std::size_t LastLineToClusterEnd(std::string_view text, std::size_t at, std::uint64_t start,
                                 std::string_view boundary);

// Printable characters a last line runs to at least before bytes no text holds, for them to be
// taken as the mail's: random bytes seldom begin with so many.
inline constexpr std::size_t kLastLineIntoData = 8;

// The length of a last line without a line break at `at` in `text` that runs into binary data:
// at least kLastLineIntoData printable ASCII characters (fewer for a name behind a closing line
// such as "Regards,": a signature mail programs often end without a line break; fewer for an
// HTML end tag alone, "</html>", which an HTML text ends with and no random bytes; fewer for a line
// of a text that declares quoted-printable ending in a soft break, "=", which no such text ends
// with, taken up to it; fewer for a short reply that is the whole body, "ok" or "Yes.", a word
// right behind the header block's empty line, taken up to its end; fewer for a closing sentence
// in a paragraph of its own, "Done." or "Thanks!", its mark taken as its end; fewer for a word
// of four small letters or more with a vowel, "test", taken up to its last letter),
// then bytes no text holds (not zeros) before any line break. A mail's file that ended without a
// line break, old data behind it. The characters up to the first byte that is no printable ASCII
// are taken (random bytes may begin with a few), or up to an HTML document's close a few
// characters before it, behind which 8-bit bytes on the line end the text too. 0 when there is no
// such line.
std::size_t LastLineIntoData(std::string_view text, std::size_t at);

// The length of the last line of base64 data without a line break at `at` in `text` that runs
// into binary data: the two lines above are data lines of one length and no padding, so the data
// goes on; the line holds whole quanta of base64 characters (the last one padded or not), fewer
// than a data line, and bytes no text holds follow before any line break. A file of encoded data
// cut by its end, old data behind it; even a line of four characters tells. 0 when there is no such
// line.
std::size_t Base64TailIntoData(std::string_view text, std::size_t at);

// Where old bytes that end their lines otherwise than the mail begin, when the first of their lines
// is at `at` in `text`, a mail's text: a mail whose last line had no line break of its own took
// that of the old line glued to it. A name behind a closing such as "Regards," (which mail
// programs often write without a line break, and a mail seldom ends with the closing) is that
// last line, and the old bytes begin at its line break; any other line begins them, at `at`. (Nor
// is the body's first line taken so: a body is empty as often as one line without a line break.)
std::size_t OldBytesBehindLastLine(std::string_view text, std::size_t at);

// Where the run of printable ASCII characters and tabs that begins at `at` in `text` ends: where
// a last line without a line break meets bytes no text holds.
std::size_t PrintableRunEnd(std::string_view text, std::size_t at);

}  // namespace quillon::mail_reader
