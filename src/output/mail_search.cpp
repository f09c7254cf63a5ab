#include "output/mail_search.h"

#include <optional>

#include "scan/content_text.h"
#include "text/case_folding.h"

namespace quillon {

std::u16string FindHaystack(const MailRecord& record, const FindSettings& settings) {
  std::u16string haystack;
  if (settings.subject) haystack += record.SubjectText() + u'|';
  if (settings.sender) haystack += record.FromText() + u'|';
  if (settings.recipients) haystack += record.ToText() + u'|';
  if (settings.content) {
    std::u16string content;
    record.ReadContentText(content);
    haystack += content;
  }
  return haystack;
}

MailMatcher::MailMatcher(const FindSettings& settings)
    : settings_(settings), spansFields_(settings.text.find(u'|') != std::u16string::npos) {
  AppendFoldedCase(settings_.text, foldedText_);
  asciiText_ = IsAscii(foldedText_);
  if (asciiText_) asciiFoldedText_.assign(foldedText_.begin(), foldedText_.end());
}

bool MailMatcher::Holds(std::u16string_view haystack) {
  if (haystack.size() < foldedText_.size()) return false;
  scratch_.clear();
  AppendFoldedCase(haystack, scratch_);
  return std::u16string_view(scratch_).find(foldedText_) != std::u16string_view::npos;
}

bool MailMatcher::Matches(const MailRecord& record) {
  if (!settings_.AnyField()) return false;
  // Only a text with a "|" can span two fields; any other is looked for field by field, so that
  // no haystack is built and the body is copied only when the other fields do not hold it.
  if (spansFields_) return Holds(FindHaystack(record, settings_));
  if (settings_.subject && Holds(record.SubjectText())) return true;
  if (settings_.sender && Holds(record.FromText())) return true;
  if (settings_.recipients && Holds(record.ToText())) return true;
  if (!settings_.content) return false;
  if (asciiText_) {
    if (const std::optional<bool> holds =
            record.ContentHoldsFoldedAscii(asciiFoldedText_, bodyBytes_, foldedBytes_))
      return *holds;
  }
  // One string takes every mail's text in turn, so that a search over many mails allocates once.
  record.ReadContentText(content_);
  return Holds(content_);
}

bool MailMatches(const MailRecord& record, const FindSettings& settings) {
  return MailMatcher(settings).Matches(record);
}

}  // namespace quillon
