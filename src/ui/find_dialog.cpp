#include "ui/find_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/icons.h"
#include "ui/prompts.h"
#include "ui/skinned_button.h"
#include "ui/window_texts.h"

namespace quillon {

FindDialog::FindDialog(Prompts& prompts, const FindSettings& settings, QWidget* parent)
    : QDialog(parent), prompts_(prompts) {
  setObjectName(QStringLiteral("findDialog"));
  setWindowTitle(QString(kFindDialogCaption));
  setWindowIcon(AppIcon());

  auto* prompt = new QLabel(QString(kFindDialogPrompt), this);
  prompt->setObjectName(QStringLiteral("findPrompt"));
  text_ = new QLineEdit(QString::fromStdU16String(settings.text), this);
  text_->setObjectName(QStringLiteral("findText"));
  text_->setMinimumWidth(320);
  const auto makeBox = [this](const char* caption, const char* name, bool ticked) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), this);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(ticked);
    return box;
  };
  subject_ = makeBox("Find in Subject", "findInSubject", settings.subject);
  sender_ = makeBox("Find in Sender", "findInSender", settings.sender);
  recipients_ = makeBox("Find in Recipients", "findInRecipients", settings.recipients);
  content_ = makeBox("Find in Content Text", "findInContent", settings.content);

  auto* ok = new SkinnedPushButton(QStringLiteral("&OK"), this);
  ok->setObjectName(QStringLiteral("findOkButton"));
  ok->setDefault(true);
  auto* cancel = new SkinnedPushButton(QStringLiteral("&Cancel"), this);
  cancel->setObjectName(QStringLiteral("findCancelButton"));
  connect(ok, &QPushButton::clicked, this, &FindDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &FindDialog::reject);

  auto* boxes = new QGridLayout;
  boxes->setHorizontalSpacing(18);
  boxes->addWidget(subject_, 0, 0);
  boxes->addWidget(sender_, 0, 1);
  boxes->addWidget(recipients_, 1, 0);
  boxes->addWidget(content_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 16, 18, 14);
  layout->setSpacing(10);
  layout->addWidget(prompt);
  layout->addWidget(text_);
  layout->addLayout(boxes);
  layout->addSpacing(4);
  layout->addLayout(buttons);
  text_->setFocus();
  text_->selectAll();
}

FindSettings FindDialog::Settings() const {
  FindSettings settings;
  settings.text = text_->text().toStdU16String();
  settings.subject = subject_->isChecked();
  settings.sender = sender_->isChecked();
  settings.recipients = recipients_->isChecked();
  settings.content = content_->isChecked();
  return settings;
}

void FindDialog::accept() {
  const FindSettings settings = Settings();
  // An empty text is the first thing to fix, whatever the boxes say.
  if (settings.text.empty()) {
    prompts_.ShowInformation(this, QString(kFindTextMissing));
    text_->setFocus();
    return;
  }
  if (!settings.AnyField()) {
    prompts_.ShowInformation(this, QString(kFindFieldMissing));
    return;
  }
  QDialog::accept();
}

}  // namespace quillon
