#include "scan/mail_record.h"

#include <utility>

#include "scan/content_text.h"

namespace quillon {

namespace {

// Whether `decoded` is `raw` with each byte widened to one unit: then it need not be kept.
bool IsWidened(std::string_view raw, const std::u16string& decoded) {
  if (raw.size() != decoded.size()) return false;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (decoded[i] != static_cast<unsigned char>(raw[i])) return false;
  }
  return true;
}

std::u16string Widened(std::string_view raw) {
  std::u16string text(raw.size(), u'\0');
  for (std::size_t i = 0; i < raw.size(); ++i) text[i] = static_cast<unsigned char>(raw[i]);
  return text;
}

template <typename Text>
void ShrinkText(Text& text) {
  if (text.capacity() > text.size()) text.shrink_to_fit();
}

void ShrinkParts(std::vector<PartEntry>& parts) {
  parts.shrink_to_fit();
  for (PartEntry& part : parts) {
    ShrinkText(part.nameText);
  }
}

}  // namespace

std::u16string MailRecord::FromText() const {
  return DecodedText(from, kFromKept, &DecodedTexts::from);
}
std::u16string MailRecord::ToText() const {
  return DecodedText(to, kToKept, &DecodedTexts::to);
}
std::u16string MailRecord::SubjectText() const {
  return DecodedText(subject, kSubjectKept, &DecodedTexts::subject);
}
void MailRecord::SetFromText(std::u16string text) {
  SetDecodedText(from, kFromKept, &DecodedTexts::from, std::move(text));
}
void MailRecord::SetToText(std::u16string text) {
  SetDecodedText(to, kToKept, &DecodedTexts::to, std::move(text));
}
void MailRecord::SetSubjectText(std::u16string text) {
  SetDecodedText(subject, kSubjectKept, &DecodedTexts::subject, std::move(text));
}

std::u16string MailRecord::DecodedText(std::string_view raw, DecodedKept kept,
                                       std::u16string DecodedTexts::*text) const {
  if (decodedKept_ & kept) return (*decoded_).*text;
  return Widened(raw);
}

void MailRecord::SetDecodedText(std::string_view raw, DecodedKept kept,
                                std::u16string DecodedTexts::*text, std::u16string&& value) {
  if (IsWidened(raw, value)) {
    decodedKept_ &= static_cast<std::uint8_t>(~kept);
    if (decoded_) std::u16string().swap((*decoded_).*text);
    if (decodedKept_ == 0) decoded_.reset();
    return;
  }
  if (!decoded_) decoded_ = std::make_unique<DecodedTexts>();
  (*decoded_).*text = std::move(value);
  decodedKept_ |= kept;
}

const std::string& MailRecord::SourceName() const {
  static const std::string kNoName;
  return sourceName_ ? *sourceName_ : kNoName;
}

void MailRecord::SetSourceName(std::shared_ptr<const std::string> name) {
  sourceName_ = std::move(name);
}

void MailRecord::SetSourceName(std::string_view name) {
  sourceName_ = std::make_shared<const std::string>(name);
}

void MailRecord::ShrinkToFit() {
  if (decoded_) {
    ShrinkText(decoded_->from);
    ShrinkText(decoded_->to);
    ShrinkText(decoded_->subject);
  }
  ShrinkParts(attachments);
  std::lock_guard lock(bodyMutex_);
  ShrinkParts(body_.parts);
}

MailBody MailRecord::Body() const {
  std::lock_guard lock(bodyMutex_);
  MailBody body;
  static_cast<BodyFacts&>(body) = body_;
  if (heldText_) {
    body.bodyText = heldText_->bodyText;
    body.contentText = heldText_->contentText;
  } else if (textStore_) {
    (void)textStore_->Read(keptBodyText_, body.bodyText);
    (void)textStore_->Read(keptContentText_, body.contentText);
  }
  if (body_.contentFromBodyText) {
    body.contentText = ContentTextLocked(body.bodyText);
    body.contentFromBodyText = false;  // the copy carries its content text
  }
  return body;
}

bool MailRecord::BodyClosed() const {
  std::lock_guard lock(bodyMutex_);
  return body_.closed;
}

void MailRecord::PublishBody(MailBody body) {
  std::lock_guard lock(bodyMutex_);
  KeepTextLocked(std::move(body.bodyText), std::move(body.contentText));
  // Only a swap gives the strings' room back: clearing or assigning an empty string keeps it.
  std::string().swap(body.bodyText);
  std::u16string().swap(body.contentText);
  ShrinkParts(body.parts);
  body_ = std::move(static_cast<BodyFacts&>(body));
}

void MailRecord::KeepTextLocked(std::string&& bodyText, std::u16string&& contentText) {
  keptBodyText_ = {};
  keptContentText_ = {};
  heldText_.reset();
  if (textStore_) {
    keptBodyText_ = textStore_->Keep(bodyText);
    keptContentText_ = textStore_->Keep(contentText);
    return;
  }
  if (bodyText.empty() && contentText.empty()) return;
  // The body steps give a text room ahead as it grows; a text held until its record reaches
  // the found mails keeps only its own bytes.
  if (bodyText.capacity() > 2 * bodyText.size()) bodyText.shrink_to_fit();
  heldText_ = std::make_unique<HeldText>(HeldText{std::move(bodyText), std::move(contentText)});
}

std::string MailRecord::BodyText() const {
  std::lock_guard lock(bodyMutex_);
  std::string text;
  if (heldText_)
    text = heldText_->bodyText;
  else if (textStore_)
    (void)textStore_->Read(keptBodyText_, text);
  return text;
}

void MailRecord::ReadContentText(std::u16string& text) const {
  std::lock_guard lock(bodyMutex_);
  text.clear();
  if (body_.contentFromBodyText) {
    std::string bodyText;
    if (heldText_)
      bodyText = heldText_->bodyText;
    else if (textStore_)
      (void)textStore_->Read(keptBodyText_, bodyText);
    text = ContentTextLocked(bodyText);
    return;
  }
  if (heldText_)
    text = heldText_->contentText;
  else if (textStore_)
    (void)textStore_->Read(keptContentText_, text);
}

std::optional<bool> MailRecord::ContentHoldsFoldedAscii(std::string_view foldedNeedle,
                                                        std::string& bytes,
                                                        std::string& scratch) const {
  std::lock_guard lock(bodyMutex_);
  if (!body_.contentFromBodyText) return std::nullopt;
  if (heldText_)
    bytes = heldText_->bodyText;
  else if (!textStore_ || !textStore_->Read(keptBodyText_, bytes))
    bytes.clear();
  return HoldsFoldedAscii({bytes, body_.textCharset.View(), body_.textIsHtml, body_.ansiCodePage},
                          foldedNeedle, scratch);
}

void MailRecord::KeepTextIn(std::shared_ptr<MailTextStore> store) {
  std::lock_guard lock(bodyMutex_);
  std::unique_ptr<HeldText> held = std::move(heldText_);
  textStore_ = std::move(store);
  if (held) KeepTextLocked(std::move(held->bodyText), std::move(held->contentText));
}

std::u16string MailRecord::ContentTextLocked(std::string_view bodyText) const {
  if (bodyText.empty()) return {};
  return ContentTextOf({bodyText, body_.textCharset, body_.textIsHtml, body_.ansiCodePage});
}

MailExtent MailRecord::Extent() const {
  std::lock_guard lock(bodyMutex_);
  return extent_;
}

void MailRecord::SetExtent(const MailExtent& extent) {
  std::lock_guard lock(bodyMutex_);
  extent_ = extent;
}

}  // namespace quillon
