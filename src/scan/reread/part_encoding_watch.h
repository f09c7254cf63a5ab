// What a mail's transfer encoding lets its body lines be, for finding where its text ends: old
// text behind a base64 part is data that encoding cannot produce. Private to the re-reader.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon::mail_reader {

// Follows the body lines of one mail, part by part, and tells which line cannot be the mail's.
// Parts are told by lines that begin with "--" (or a mailbox separator) and the header lines
// behind them; a part's Content-Transfer-Encoding names how its lines look (RFC 2045 6.1). Text
// behind an empty line after the data (a list footer) is the mail's unless a line of it is longer
// than a footer is written; one line of text amid the data is damage.
class PartEncodingWatch {
 public:
  // `headerBlock`: the mail's own header lines, whose encoding the body (or preamble) has.
  explicit PartEncodingWatch(std::string_view headerBlock);

  enum class Verdict {
    Fits,
    Doubtful,        // text right behind base64 data: a damaged line, or old text; or the
                     // first line of a footer behind it
    EndsHere,        // base64 data behind the padding or the short line that ended the part's
                     // data (RFC 2045 6.8), or longer than the part's lines
    EndsAtDoubtful,  // a second line of text behind base64 data, or a footer line longer than
                     // mail text is written (also behind an empty line behind text right behind
                     // the data): old text from the doubtful line on
  };

  // What `line` (a complete body line, without its line end) is, behind the lines before it.
  [[nodiscard]] Verdict Judge(std::string_view line);

 private:
  friend std::string StrayClosingBoundary(std::string_view headerBlock, std::string_view body);
  enum class Encoding { Other, Base64 };
  static Encoding EncodingOf(std::string_view headerLine, Encoding otherwise);

  bool inPartHeader_ = false;
  Encoding partHeader_ = Encoding::Other;
  Encoding body_ = Encoding::Other;
  bool afterData_ = false;          // the line before was base64 data
  bool doubtful_ = false;           // the line before was text right behind base64 data
  bool dataEnded_ = false;          // the current part's padding or short last line was seen
  std::size_t dataLineLength_ = 0;  // of the current part's first data line
  bool blankBehindData_ = false;    // the line before was empty, behind the part's data
  bool textBeforeBlank_ = false;    // and the line before it was text right behind the data
  bool footer_ = false;             // text behind an empty line behind the data was seen
};

// The boundary of a closing boundary line ("--", the boundary, "--") that stands right behind
// the base64 data of a mail whose own header block (`headerBlock`) names a base64 body and no
// multipart: the multipart's header was lost (a list that rewrote the mail, a second header block
// behind the data) and its closing line still ends the mail. `body` is the text behind the
// header block. The line is the body's first boundary line, or closes parts whose boundary lines
// stand before it; empty when there is none.
std::string StrayClosingBoundary(std::string_view headerBlock, std::string_view body);

}  // namespace quillon::mail_reader
