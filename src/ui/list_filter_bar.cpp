#include "ui/list_filter_bar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace quillon {

namespace {

// Long enough that a word typed at once filters a big list once, short enough to feel immediate.
constexpr int kTypingPauseMilliseconds = 150;

}  // namespace

QString ListCountText(std::size_t shown, std::size_t listed, std::size_t hiddenCopies,
                      bool filtering) {
  const auto counted = [](std::size_t count, const char* one, const char* many) {
    return QStringLiteral("%1 %2")
        .arg(static_cast<qulonglong>(count))
        .arg(QLatin1String(count == 1 ? one : many));
  };
  if (filtering) {
    return QStringLiteral("%1 of %2 match")
        .arg(static_cast<qulonglong>(shown))
        .arg(counted(listed - hiddenCopies, "mail", "mails"));
  }
  QString text = counted(shown, "mail", "mails");
  if (hiddenCopies > 0)
    text += QStringLiteral(" (%1 hidden)").arg(counted(hiddenCopies, "copy", "copies"));
  return text;
}

ListFilterBar::ListFilterBar(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("listFilterBar"));
  filter_ = new QLineEdit(this);
  filter_->setObjectName(QStringLiteral("quickFilter"));
  filter_->setPlaceholderText(QStringLiteral("Filter by subject, sender or recipients"));
  filter_->setClearButtonEnabled(true);
  hideDuplicates_ = new QCheckBox(QStringLiteral("Hide d&uplicates"), this);
  hideDuplicates_->setObjectName(QStringLiteral("hideDuplicates"));
  hideDuplicates_->setToolTip(
      QStringLiteral("Hide mails that are copies of a mail found earlier (marked \"=\"). "
                     "Saving the folder then skips them too."));
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("listCount"));
  pause_ = new QTimer(this);
  pause_->setSingleShot(true);
  pause_->setInterval(kTypingPauseMilliseconds);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(8);
  layout->addWidget(filter_, 1);
  layout->addWidget(hideDuplicates_);
  layout->addWidget(count_);

  connect(filter_, &QLineEdit::textChanged, pause_, qOverload<>(&QTimer::start));
  connect(pause_, &QTimer::timeout, this, [this] { emit filterChanged(filter_->text()); });
  connect(hideDuplicates_, &QCheckBox::toggled, this, &ListFilterBar::hideDuplicatesChanged);
}

QString ListFilterBar::FilterText() const {
  return filter_->text();
}

bool ListFilterBar::HideDuplicates() const {
  return hideDuplicates_->isChecked();
}

void ListFilterBar::SetCountText(const QString& text) {
  count_->setText(text);
}

}  // namespace quillon
