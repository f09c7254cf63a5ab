// The folds a walk up a header block has passed since its last header line, and the field that
// old text glued into one of them may begin (FieldInAnOrphanFold). A fold belongs to the header
// line above it nearly always, and that line makes the question moot, so the folds are looked
// into only when the walk ends without one.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "scan/source_bytes.h"

namespace quillon {

class OrphanFolds {
 public:
  // The fold `line` at buffer index `at`, the next one up. The buffer outlives the walk.
  void Add(std::size_t at, std::string_view line);

  // A header line was passed: the folds below it are its own.
  void Clear() {
    waiting_ = 0;
    more_.clear();
    field_ = std::string_view::npos;
  }

  // Whether no fold was passed since the last header line.
  bool Empty() const { return waiting_ == 0 && more_.empty(); }

  // Where a field begins in the lowest fold since the last header line that holds one (buffer
  // index); npos for none.
  std::size_t Field(CarveBuffer buffer);

 private:
  // Left uninitialised: only those added are read.
  struct Fold {
    std::size_t at;
    const char* text;
    std::size_t length;
  };
  // Most header lines have a few folds; a list of recipients or an encoded subject may have
  // thousands, which go on the heap.
  static constexpr std::size_t kInPlace = 32;
  Fold folds_[kInPlace];
  std::size_t waiting_ = 0;  // the folds in place not looked into yet, lowest first
  std::vector<Fold> more_;   // those above them
  std::size_t field_ = std::string_view::npos;
};

}  // namespace quillon
