#include "ui/mail_source_view.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "text/code_page.h"
#include "text/utf8.h"
#include "ui/icons.h"

namespace quillon {

QString RawMailText(std::string_view raw, int ansiCodePage) {
  if (IsValidUtf8(raw)) return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
  return QString::fromStdU16String(AnsiToUtf16(raw, ansiCodePage));
}

MailSourceView::MailSourceView(const QString& subject, std::string_view raw, int ansiCodePage,
                               QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("mailSourceView"));
  setWindowTitle(QStringLiteral("Source: %1").arg(subject));
  setWindowIcon(AppIcon());
  setAttribute(Qt::WA_DeleteOnClose);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("mailSourceText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // CR LF pairs are line ends, not characters to show.
  QString text = RawMailText(raw, ansiCodePage);
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text_->setPlainText(text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_, 1);
  layout->addWidget(buttons);
  resize(820, 640);
}

QString MailSourceView::Text() const {
  return text_->toPlainText();
}

}  // namespace quillon
