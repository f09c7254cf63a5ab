// Shapes of lines that no mail text takes, for finding where a mail ends among old bytes.
// Private to the re-reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::mail_reader {

// True when `line` (without its line end) holds 8-bit bytes and a shift code (ESC, SO or SI)
// both: the charsets that shift so (ISO-2022) are 7-bit, and 8-bit text has no use for them.
// Such a line is random bytes that happen to hold no other control byte.
bool NoTextOfAnyCharset(std::string_view line);

// True when `line` (without its line end) is a line of text with a few control bytes that no
// text is written with (a DOS end-of-file mark, a DEL, field separators pasted from a form): at
// least kStrayControlLine bytes, mostly printable ASCII, no two control bytes in a row (but for
// one pair, the line's only ones, in a line of 7-bit text). Random bytes behind a mail hold a
// control byte in ten and 8-bit bytes in every other; such a line holds neither many.
inline constexpr std::size_t kStrayControlLine = 16;
bool HoldsStrayControls(std::string_view line);

// True when `line`, which the line reader found `binary`, is no text of any charset: bytes that
// end a mail. A line of text with a stray control byte is the mail's own.
bool ReadsAsBinaryBytes(std::string_view line, bool binary);

// Characters a line of an epilogue holds at most: a note or a list footer is written as mail
// text is, in lines of at most 78 characters (RFC 5322 2.1.1). Longer lines behind a closing
// boundary are old text.
inline constexpr std::size_t kEpilogueLineLength = 78;

// True when `line` is a MIME part's header line ("Content-Type: ..."): behind a closing
// boundary such lines are a part of another mail, not the epilogue of this one.
bool IsPartHeaderLine(std::string_view line);

// True when `line` holds HTML or XML markup (a tag such as "<br>" or "</style>", a declaration
// such as "<?xml", a character reference such as "&nbsp;") or a style sheet rule ("td { margin:
// 3px; }", or the tail of one). Behind a closed HTML text or a closing boundary such lines are an
// old page's: a footer or an epilogue is plain text. A mail address or a web address in angle
// brackets is no tag.
bool HoldsMarkup(std::string_view line);

// True when `line` reads as the data of a transfer encoding rather than as text written for
// readers: quoted-printable (a soft line break at its end, or an escape such as "=20" or "=3D")
// or a long run of base64 characters without a blank. A multipart's epilogue is never encoded
// (RFC 2046 5.1.1): such lines behind its closing boundary are another mail's.
bool ReadsAsEncodedData(std::string_view line);

// True when `line` begins as the tail of a line: with a small letter (behind blanks or not), a
// digit or a punctuation mark that ends a phrase, and not with a web or mail address. Old bytes are
// cut out at any place, mostly inside a line; a note or a footer begins as text written to be read
// does.
bool BeginsMidLine(std::string_view line);

// True when `line` begins inside a UTF-8 character: with continuation bytes, then a whole
// character of two bytes or more. Old bytes cut out of UTF-8 text begin so; no text written to be
// read does, and Latin-1 text whose line opens with a mark such as "\xBF" goes on with no such
// character.
bool BeginsInsideUtf8Character(std::string_view line);

// True when `line` is a rule drawn under a text, as a list footer opens with: at least
// kRuleLength of one of "_", "-", "=", "*" and nothing else but blanks.
inline constexpr std::size_t kRuleLength = 8;
bool IsRuleLine(std::string_view line);

// True when `line` opens a document of markup ("<?xml", "<!DOCTYPE", "<html" in any letter
// case, behind blanks or not). Old bytes are cut out at any place of a document, seldom at its
// first line: a body that begins so is a document sent as text.
bool OpensADocument(std::string_view line);

// Follows the body lines of a mail whose text holds no markup (a plain text mail) and tells
// where lines that all hold markup begin that run up to the last line given: an old page's or
// old data's lines behind the mail. Once a line without markup follows one with it, the markup
// is the mail's own (a quoted page, a patch to one) and no run is told; so is a run that opens a
// document on its first line ("<html", "<!DOCTYPE"): a page pasted behind the text. Old bytes are
// cut out at any place of a page, seldom at its first line.
class MarkupRun {
 public:
  // `at`: where `line` (a complete body line, without its line end) begins.
  void Add(std::size_t at, std::string_view line);
  // Where the run begins; npos when the last lines hold no markup or the mail's own text does.
  // A run from the first line on is a page sent as plain text.
  [[nodiscard]] std::size_t Start() const { return ownMarkup_ ? npos : start_; }

 private:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
  std::size_t start_ = npos;
  bool ownMarkup_ = false;
};

// True when `line` holds what only a page's head holds: a style sheet rule, or the end of a
// style block or of the head ("</style>", "</head>"). An HTML text that has closed its document
// goes on with none of that: a page's body may follow (a second document, a spammer's trick),
// but no head without its "<html>".
bool HoldsPageHead(std::string_view line);

// Where `line` opens or closes an HTML document ("<html", "</html>" in any letter case).
enum class HtmlDocument { Neither, Opens, Closes };
HtmlDocument HtmlDocumentOf(std::string_view line);

// True when the NUL at `at` in `text` (which begins at byte `start` of the source) is a byte of
// binary data: one of a few NULs, its line going on with bytes that no text holds. A file's end
// is followed by zeros up to its sector's end, a store block's by zeros up to the next block, and
// a sector that could not be read is zeros throughout; a stray NUL in a mail's line is followed
// by text. UTF-16 text behind a line of one byte counts as data too: a NUL behind every
// character of it, the line's byte its first character.
bool NulAmidData(std::string_view text, std::size_t at, std::uint64_t start);

// Where a multipart mail's text goes on behind the NULs at `at` in `text`: one to three NULs
// that end a line of text, right in front of its line break, and behind them, with nothing but
// empty lines between, a closing boundary line ("--", a boundary, "--"; whose boundary it is the
// damage may have hidden, as a sender's declared boundary may differ from the one it used). A
// file's end is zeros up to its sector's end, and zeroed slack holds no line break behind a NUL
// or two: such NULs are a damaged spot in the mail's last line of data.
struct ClosingBehindNuls {
  std::size_t lineStart = 0;  // the line behind the NULs' line break
  std::size_t end = 0;        // behind the closing line's line break (or the text); 0: not so
  std::string_view boundary;  // the closing line's
};
ClosingBehindNuls ClosingLineBehindLineEndNuls(std::string_view text, std::size_t at);
// Where the scan ended the text of a multipart mail (`boundary` not empty) that begins at byte
// `start` of the source at `knownEnd`, NULs that are such a damaged spot: moves `knownEnd` behind
// the closing line and `boundary` to its, and returns where the text goes on behind the NULs'
// line break; 0, with nothing moved, elsewhere.
std::size_t PassDamagedSpot(std::string_view text, std::uint64_t start, std::uint64_t& knownEnd,
                            std::string& boundary);

}  // namespace quillon::mail_reader
