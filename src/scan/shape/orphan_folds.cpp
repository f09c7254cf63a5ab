#include "scan/shape/orphan_folds.h"

#include "scan/shape/old_line_fields.h"

namespace quillon {

void OrphanFolds::Add(CarveBuffer buffer, std::size_t at, std::string_view line) {
  if (field_ != std::string_view::npos) return;  // a lower fold holds one
  // A field's line has its colon: a fold without one holds none (most folds of prose).
  if (line.find(':') == std::string_view::npos) return;
  if (waiting_ == kBatch && Field(buffer) != std::string_view::npos) return;
  folds_[waiting_++] = {at, line.data(), line.size()};
}

std::size_t OrphanFolds::Field(CarveBuffer buffer) {
  for (std::size_t i = 0; i < waiting_ && field_ == std::string_view::npos; ++i) {
    const std::size_t inside = old_line_fields::FieldInAnOrphanFold(
        buffer, folds_[i].at, {folds_[i].text, folds_[i].length});
    if (inside != std::string_view::npos) field_ = folds_[i].at + inside;
  }
  waiting_ = 0;
  return field_;
}

}  // namespace quillon
