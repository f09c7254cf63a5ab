// The preview pane: shows one mail's preview document and nothing from outside it. A carved mail
// is untrusted: the view never fetches a remote or local resource, and links leave it only on
// the user's click, towards the user's browser.
#pragma once

#include <QByteArray>
#include <QTextBrowser>
#include <QUrl>
#include <optional>

namespace quillon {

enum class LinkAction {
  Ignore,          // "app:" links, and anything the browser should not be handed
  ScrollToAnchor,  // "#name" inside the document
  OpenExternally,  // web and mail addresses
};

LinkAction ClassifyLink(const QUrl& url);

// The bytes of a "data:" URL (base64 or percent-encoded); nothing for any other URL or a malformed
// one.
std::optional<QByteArray> DecodeDataUrl(const QUrl& url);

class PreviewView final : public QTextBrowser {
  Q_OBJECT

 public:
  explicit PreviewView(QWidget* parent = nullptr);

  // Replaces the document by `html` (empty: a blank pane).
  void ShowDocument(const QString& html);

  // Marks every place the text occurs, in any letter case, and scrolls the first into view.
  // Returns how many were marked (at most kMaxHighlights).
  static constexpr int kMaxHighlights = 500;
  int HighlightText(const QString& text);

  QVariant loadResource(int type, const QUrl& name) override;

 signals:
  // A link the user clicked that should open in the user's browser or mail program.
  void externalLinkRequested(const QUrl& url);

 private:
  void FollowLink(const QUrl& url);
};

}  // namespace quillon
