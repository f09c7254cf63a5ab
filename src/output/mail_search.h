// Searching found mails for a text, as the window's Find and `quillon scan --find` both do: the
// fields searched, how a mail's text is put together for the search, and the match test.
#pragma once

#include <string>
#include <string_view>

#include "scan/mail_record.h"

namespace quillon {

// What to look for and where. The window keeps one for its whole run; the first find there has
// every field ticked.
struct FindSettings {
  std::u16string text;
  bool subject = true;
  bool sender = true;
  bool recipients = true;
  bool content = true;  // the decoded text of the body

  bool AnyField() const { return subject || sender || recipients || content; }
  bool operator==(const FindSettings&) const = default;
};

// The ticked fields joined in the order subject, sender, recipients, content, each of the first
// three followed by "|", so that a search text may span two fields.
std::u16string FindHaystack(const MailRecord& record, const FindSettings& settings);

// Whether a mail holds the find text in its ticked fields, in any letter case of any script
// (simple Unicode case folding: "KAZAN" finds "Kazan", "КАЗАНЬ" finds "Казань", "RÉUNION" finds
// "réunion"). An empty text is found in every mail that has a ticked field. Made once per
// search and used for every mail: the text is folded once, and the scratch space is reused.
class MailMatcher {
 public:
  explicit MailMatcher(const FindSettings& settings);

  bool Matches(const MailRecord& record);

 private:
  bool Holds(std::u16string_view haystack);

  FindSettings settings_;
  std::u16string foldedText_;
  bool spansFields_ = false;
  // The folded text in bytes when it is all ASCII: then most bodies are searched in their own
  // bytes, without converting them (MailRecord::ContentHoldsFoldedAscii).
  bool asciiText_ = false;
  std::string asciiFoldedText_;
  std::string bodyBytes_;
  std::string foldedBytes_;
  std::u16string scratch_;
  std::u16string content_;
};

// One mail tested on its own; MailMatcher when testing many.
bool MailMatches(const MailRecord& record, const FindSettings& settings);

}  // namespace quillon
