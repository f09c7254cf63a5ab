#include "ui/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/help_page.h"
#include "ui/icons.h"
#include "ui/link_label.h"
#include "ui/prompts.h"
#include "ui/skinned_button.h"
#include "ui/window_texts.h"

namespace quillon {

AboutDialog::AboutDialog(Prompts& prompts, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutDialog"));
  setWindowTitle(QStringLiteral("About ") + QString(kProductName));
  setWindowIcon(AppIcon());

  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(QSize(48, 48), devicePixelRatio()));
  auto* name = new QLabel(QString(kWindowCaption), this);
  name->setObjectName(QStringLiteral("aboutProductName"));
  QFont bold = name->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  name->setFont(bold);
  auto* site = new LinkLabel(QString(kGuideLinkText), HelpPageUrl(), this);
  site->setObjectName(QStringLiteral("aboutSiteLink"));
  auto* support = new LinkLabel(QStringLiteral("support@quillon.example.org"),
                                QUrl(QString(kSupportAddress)), this);
  support->setObjectName(QStringLiteral("aboutSupportLink"));
  for (LinkLabel* link : {site, support})
    link->OpenWith([&prompts](const QUrl& target) { return prompts.OpenExternal(target); });
  auto* ok = new SkinnedPushButton(QStringLiteral("&OK"), this);
  ok->setObjectName(QStringLiteral("aboutOkButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* text = new QVBoxLayout;
  text->addWidget(name);
  text->addSpacing(6);
  text->addWidget(site);
  text->addWidget(support);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(text, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->addLayout(top);
  layout->addSpacing(10);
  layout->addWidget(ok, 0, Qt::AlignRight);
}

}  // namespace quillon
