// Where a copy's text gives way to old data whose lines end otherwise than the mail's.
#include "scan/merge/duplicate_text_end.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

struct LinesRow {
  const char* name;
  std::string text;
  std::size_t from;
  std::string shared;  // the text up to the line asked about, behind `from`
  bool other;
};

class OtherLines : public ::testing::TestWithParam<LinesRow> {};

TEST_P(OtherLines, TellsOldDataBehindTheSharedText) {
  const LinesRow& row = GetParam();
  const MailText text{reinterpret_cast<const std::uint8_t*>(row.text.data()), row.text.size()};
  EXPECT_EQ(OtherLinesBeginAt(text, row.from, row.from + row.shared.size()), row.other);
}

const std::string kMail = "From: a@b.c\r\nSubject: s\r\n\r\nbody\r\n";
const std::string kLfMail = "From: a@b.c\nSubject: s\n\nbody\n";

INSTANTIATE_TEST_SUITE_P(
    DuplicateTextEnd, OtherLines,
    ::testing::Values(
        LinesRow{"LineFeedAloneBehindCrLf", kMail + "old words\nmore\n", 0, kMail, true},
        LinesRow{"CrLfBehindLineFeedAlone", kLfMail + "old words\r\n", 0, kLfMail, true},
        LinesRow{"CrLfBehindCrLf", kMail + "another body line\r\n", 0, kMail, false},
        LinesRow{"EmptyLineFeedBehindCrLf", kMail + "\nold\n", 0, kMail, true},
        LinesRow{"MixedSharedTextTellsNothing", "From: a@b.c\r\nSubject: s\n\r\nbody\r\nold\n", 0,
                 "From: a@b.c\r\nSubject: s\n\r\nbody\r\n", false},
        LinesRow{"SharedTextMidLine", kMail + "old\n", 0, kMail.substr(0, 30), false},
        LinesRow{"NoLineEndBehind", kMail + "old words", 0, kMail, false},
        LinesRow{"NothingBehind", kMail, 0, kMail, false},
        LinesRow{"FromLaterInTheText", "X-Above: 1\n" + kMail + "old\n", 11, kMail, true}),
    RowName{});

}  // namespace
}  // namespace quillon
