// Small helpers the test programs share.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "text/code_page.h"

namespace quillon::test {

// Names a parameterised test's row after the row's `name` field.
struct RowName {
  template <typename Row>
  std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
    return row.param.name;
  }
};

// Untagged 8-bit text depends on the ANSI code page: sets it for one test and restores the one
// before afterwards.
class ScopedAnsiCodePage {
 public:
  explicit ScopedAnsiCodePage(int codePage) : previous_(AnsiCodePage()) {
    SetAnsiCodePage(codePage);
  }
  ~ScopedAnsiCodePage() { SetAnsiCodePage(previous_); }
  ScopedAnsiCodePage(const ScopedAnsiCodePage&) = delete;
  ScopedAnsiCodePage& operator=(const ScopedAnsiCodePage&) = delete;

 private:
  int previous_;
};

}  // namespace quillon::test
