#include "output/report_text.h"

#include <gtest/gtest.h>

#include <string>

#include "source/source_test_files.h"

namespace quillon {
namespace {

using report_text::ValidUtf8;
using report_text::XmlText;

const std::string kFffd = "\xEF\xBF\xBD";

struct TextRow {
  std::string label;
  std::string input;
  std::string utf8;  // what ValidUtf8 makes of it
  std::string xml;   // what XmlText makes of it
};

class ReportTextTest : public testing::TestWithParam<TextRow> {};

TEST_P(ReportTextTest, CleansTheText) {
  EXPECT_EQ(ValidUtf8(GetParam().input), GetParam().utf8);
  EXPECT_EQ(XmlText(GetParam().input), GetParam().xml);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReportTextTest,
    testing::Values(
        TextRow{"Ascii", "Re: <b> & \"q\"", "Re: <b> & \"q\"", "Re: <b> & \"q\""},
        TextRow{"TwoThreeFourBytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xA7",
                "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xA7", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xA7"},
        TextRow{"Latin1Byte", "caf\xE9!", "caf" + kFffd + "!", "caf" + kFffd + "!"},
        TextRow{"StrayContinuation",
                "a\x80"
                "b",
                "a" + kFffd + "b", "a" + kFffd + "b"},
        // A sequence cut short is one maximal subpart: one replacement.
        TextRow{"CutThreeByte",
                "a\xE2\x82"
                "b",
                "a" + kFffd + "b", "a" + kFffd + "b"},
        TextRow{"CutFourByteAtEnd", "a\xF0\x9F\x93", "a" + kFffd, "a" + kFffd},
        TextRow{"OverlongTwoByte", "\xC0\x80", kFffd + kFffd, kFffd + kFffd},
        TextRow{"OverlongThreeByte", "\xE0\x80\x80", kFffd + kFffd + kFffd, kFffd + kFffd + kFffd},
        TextRow{"Surrogate", "\xED\xA0\x80", kFffd + kFffd + kFffd, kFffd + kFffd + kFffd},
        TextRow{"BeyondUnicode", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd,
                kFffd + kFffd + kFffd + kFffd},
        TextRow{"NeverALead", "\xF5\xFF", kFffd + kFffd, kFffd + kFffd},
        // XML 1.0 allows TAB, LF and CR among the controls, and neither U+FFFE nor U+FFFF.
        TextRow{"Controls", std::string("a\0b\x01\x1F\t\r\n", 8),
                std::string("a\0b\x01\x1F\t\r\n", 8), "a" + kFffd + "b" + kFffd + kFffd + "\t\r\n"},
        TextRow{"Nonchars", "\xEF\xBF\xBE\xEF\xBF\xBF", "\xEF\xBF\xBE\xEF\xBF\xBF", kFffd + kFffd},
        TextRow{"Empty", "", "", ""}),
    test::RowLabel());

}  // namespace
}  // namespace quillon
