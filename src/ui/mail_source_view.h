// "View source": a window with a mail's raw text as it was read back from the source, header
// lines, boundary lines and encoded parts included.
#pragma once

#include <QDialog>
#include <QString>
#include <string_view>

class QPlainTextEdit;

namespace quillon {

// The raw bytes as text: UTF-8 when they are valid UTF-8, else the ANSI code page.
QString RawMailText(std::string_view raw, int ansiCodePage);

class MailSourceView final : public QDialog {
  Q_OBJECT

 public:
  MailSourceView(const QString& subject, std::string_view raw, int ansiCodePage,
                 QWidget* parent = nullptr);

  QString Text() const;

 private:
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace quillon
