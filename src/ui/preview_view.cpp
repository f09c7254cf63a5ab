#include "ui/preview_view.h"

#include <QColor>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace quillon {

LinkAction ClassifyLink(const QUrl& url) {
  const QString text = url.toString();
  if (text.startsWith(QLatin1String("app:"), Qt::CaseInsensitive)) return LinkAction::Ignore;
  if (text.startsWith(QLatin1Char('#'))) return LinkAction::ScrollToAnchor;
  const QString scheme = url.scheme().toLower();
  // file:, javascript:, data:, cid: and relative links are not handed on: a recovered mail must
  // not make the desktop open local files or scripts.
  if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
      scheme == QLatin1String("mailto") || scheme == QLatin1String("ftp"))
    return LinkAction::OpenExternally;
  return LinkAction::Ignore;
}

std::optional<QByteArray> DecodeDataUrl(const QUrl& url) {
  if (url.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) != 0) return std::nullopt;
  const QByteArray text = url.toEncoded();
  const qsizetype comma = text.indexOf(',');
  if (comma < 0) return std::nullopt;
  const QByteArray meta = text.mid(5, comma - 5).toLower();  // after "data:"
  const QByteArray payload = QByteArray::fromPercentEncoding(text.mid(comma + 1));
  if (meta.endsWith(";base64")) {
    auto decoded = QByteArray::fromBase64Encoding(payload, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) return std::nullopt;
    return *decoded;
  }
  return payload;
}

PreviewView::PreviewView(QWidget* parent) : QTextBrowser(parent) {
  setObjectName(QStringLiteral("previewView"));
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setUndoRedoEnabled(false);
  document()->setDocumentMargin(8);
  connect(this, &QTextBrowser::anchorClicked, this, &PreviewView::FollowLink);
}

void PreviewView::ShowDocument(const QString& html) {
  if (html.isEmpty()) {
    clear();
    return;
  }
  setHtml(html);
  document()->setDocumentMargin(8);
  // Plain-text bodies come in <pre>; a long line of a mail should wrap, not scroll sideways.
  QTextCursor cursor(document());
  cursor.beginEditBlock();
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    if (!block.blockFormat().nonBreakableLines()) continue;
    QTextBlockFormat format = block.blockFormat();
    format.setNonBreakableLines(false);
    cursor.setPosition(block.position());
    cursor.setBlockFormat(format);
  }
  cursor.endEditBlock();
}

int PreviewView::HighlightText(const QString& text) {
  QList<QTextEdit::ExtraSelection> marks;
  if (!text.isEmpty()) {
    QTextCharFormat format;
    format.setBackground(QColor(255, 226, 94));
    format.setForeground(Qt::black);
    for (QTextCursor found = document()->find(text);
         !found.isNull() && marks.size() < kMaxHighlights; found = document()->find(text, found)) {
      marks.append({found, format});
    }
  }
  setExtraSelections(marks);
  if (!marks.isEmpty()) {
    QTextCursor first = marks.constFirst().cursor;
    first.clearSelection();
    setTextCursor(first);
    ensureCursorVisible();
  }
  return static_cast<int>(marks.size());
}

QVariant PreviewView::loadResource(int type, const QUrl& name) {
  // Resources the document carries itself were found before this is called; of the rest only
  // inline images may be shown.
  if (type == QTextDocument::ImageResource) {
    if (auto bytes = DecodeDataUrl(name)) return *bytes;
  }
  return {};
}

void PreviewView::FollowLink(const QUrl& url) {
  switch (ClassifyLink(url)) {
    case LinkAction::Ignore:
      return;
    case LinkAction::ScrollToAnchor:
      scrollToAnchor(url.fragment());
      return;
    case LinkAction::OpenExternally:
      emit externalLinkRequested(url);
      return;
  }
}

}  // namespace quillon
