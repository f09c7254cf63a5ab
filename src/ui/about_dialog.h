// The about box: the product name and version and the two links of the maker.
#pragma once

#include <QDialog>

namespace quillon {

class Prompts;

class AboutDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(Prompts& prompts, QWidget* parent = nullptr);
};

}  // namespace quillon
