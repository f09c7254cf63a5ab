#include "scan/mail_record.h"

#include <utility>

#include "scan/content_text.h"

namespace quillon {

MailBody MailRecord::Body() const {
  std::lock_guard lock(bodyMutex_);
  MailBody body = body_;
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
  body_ = std::move(body);
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
