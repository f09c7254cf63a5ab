#include "scan/shape/orphan_folds.h"

#include "scan/lines/line_scan.h"
#include "scan/shape/old_line_fields.h"

namespace quillon {

void OrphanFolds::Add(std::size_t at, std::string_view line) {
  if (field_ != std::string_view::npos) return;  // a lower fold holds one
  // A field's line has its colon: a fold without one holds none (most folds of prose).
  if (FindByteInLine(line, ':') == std::string_view::npos) return;
  const Fold fold{at, line.data(), line.size()};
  if (waiting_ < kInPlace && more_.empty())
    folds_[waiting_++] = fold;
  else
    more_.push_back(fold);
}

std::size_t OrphanFolds::Field(CarveBuffer buffer) {
  const auto lookInto = [&](const Fold& fold) {
    const std::size_t inside =
        old_line_fields::FieldInAnOrphanFold(buffer, fold.at, {fold.text, fold.length});
    if (inside != std::string_view::npos) field_ = fold.at + inside;
  };
  for (std::size_t i = 0; i < waiting_ && field_ == std::string_view::npos; ++i)
    lookInto(folds_[i]);
  for (std::size_t i = 0; i < more_.size() && field_ == std::string_view::npos; ++i)
    lookInto(more_[i]);
  waiting_ = 0;
  more_.clear();
  return field_;
}

}  // namespace quillon
