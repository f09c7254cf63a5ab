// The row above the mail list: a quick filter over subject, sender and recipients, the switch
// that hides copies of other mails, and how many mails the list shows.
#pragma once

#include <QString>
#include <QWidget>
#include <cstddef>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTimer;

namespace quillon {

// "12 mails", "12 mails (3 copies hidden)", "2 of 12 mails match".
QString ListCountText(std::size_t shown, std::size_t listed, std::size_t hiddenCopies,
                      bool filtering);

class ListFilterBar final : public QWidget {
  Q_OBJECT

 public:
  explicit ListFilterBar(QWidget* parent = nullptr);

  QString FilterText() const;
  bool HideDuplicates() const;
  void SetCountText(const QString& text);

 signals:
  // The filter text, once typing has paused.
  void filterChanged(const QString& text);
  void hideDuplicatesChanged(bool hide);

 private:
  QLineEdit* filter_ = nullptr;
  QCheckBox* hideDuplicates_ = nullptr;
  QLabel* count_ = nullptr;
  QTimer* pause_ = nullptr;
};

}  // namespace quillon
