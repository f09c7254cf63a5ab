// The find dialog: the text to search for and the fields to search in. OK refuses an empty text
// first, then a search in no field, each with a message, and stays open.
#pragma once

#include <QDialog>

#include "ui/mail_find.h"

class QCheckBox;
class QLineEdit;

namespace quillon {

class Prompts;

class FindDialog final : public QDialog {
  Q_OBJECT

 public:
  FindDialog(Prompts& prompts, const FindSettings& settings, QWidget* parent = nullptr);

  // What the controls hold now.
  FindSettings Settings() const;

  void accept() override;

 private:
  Prompts& prompts_;
  QLineEdit* text_ = nullptr;
  QCheckBox* subject_ = nullptr;
  QCheckBox* sender_ = nullptr;
  QCheckBox* recipients_ = nullptr;
  QCheckBox* content_ = nullptr;
};

}  // namespace quillon
