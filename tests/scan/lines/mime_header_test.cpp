#include "scan/lines/mime_header.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

struct UnnamedRow {
  std::string name;
  std::string type;
  std::size_t number;
  std::string expected;
};

class NameForUnnamedPartTest : public testing::TestWithParam<UnnamedRow> {};

TEST_P(NameForUnnamedPartTest, NamesByTypeAndNumber) {
  EXPECT_EQ(NameForUnnamedPart(GetParam().type, GetParam().number), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NameForUnnamedPartTest,
    testing::Values(UnnamedRow{"Pdf", "application/pdf", 2, "attachment-2.pdf"},
                    UnnamedRow{"AttachedMessage", "message/rfc822", 3, "message-3.eml"},
                    UnnamedRow{"DeliveryStatus", "message/delivery-status", 1, "attachment-1.txt"},
                    UnnamedRow{"NoType", "", 4, "attachment-4.txt"},
                    UnnamedRow{"Jpeg", "image/jpeg", 1, "attachment-1.jpg"},
                    UnnamedRow{"Html", "text/html", 5, "attachment-5.html"},
                    UnnamedRow{"UnknownApplication", "application/andrew-inset", 6,
                               "attachment-6.bin"},
                    UnnamedRow{"WordDocument",
                               "application/vnd.openxmlformats-officedocument."
                               "wordprocessingml.document",
                               12, "attachment-12.docx"}),
    [](const testing::TestParamInfo<UnnamedRow>& row) { return row.param.name; });

struct ValueRow {
  std::string name;
  std::string value;
  std::string token;
  std::vector<MimeParameter> parameters;
};

class ParseMimeHeaderValueTest : public testing::TestWithParam<ValueRow> {};

TEST_P(ParseMimeHeaderValueTest, ReadsTokenAndParameters) {
  const MimeHeaderValue parsed = ParseMimeHeaderValue(GetParam().value);
  EXPECT_EQ(parsed.token, GetParam().token);
  ASSERT_EQ(parsed.parameters.size(), GetParam().parameters.size());
  for (std::size_t i = 0; i < parsed.parameters.size(); ++i) {
    EXPECT_EQ(parsed.parameters[i].name, GetParam().parameters[i].name) << i;
    EXPECT_EQ(parsed.parameters[i].value, GetParam().parameters[i].value) << i;
    EXPECT_EQ(parsed.parameters[i].extended, GetParam().parameters[i].extended) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseMimeHeaderValueTest,
    testing::Values(ValueRow{"QuotedCharset",
                             "text/plain; charset=\"utf-8\"",
                             "text/plain",
                             {{"charset", "utf-8", false}}},
                    ValueRow{"TokenLowerCasedValueKept",
                             "Text/HTML;Charset=ISO-8859-1 ",
                             "text/html",
                             {{"charset", "ISO-8859-1", false}}},
                    ValueRow{"EscapesInQuotes",
                             "multipart/mixed; boundary=\"a\\\"b\\\\c\"",
                             "multipart/mixed",
                             {{"boundary", "a\"b\\c", false}}},
                    ValueRow{"QuoteNeverClosed", "a; name=\"abc", "a", {{"name", "abc", false}}},
                    ValueRow{
                        "BackslashLastInQuotes", "a; name=\"ab\\", "a", {{"name", "ab\\", false}}},
                    ValueRow{"BlanksAroundNameAndToken",
                             "a; name = value here ; x=y",
                             "a",
                             {{"name", "value here", false}, {"x", "y", false}}},
                    ValueRow{"SectionsJoinedInOrder",
                             "attachment; filename*1=\"b.txt\"; filename*0=\"a\"",
                             "attachment",
                             {{"filename", "ab.txt", false}}},
                    ValueRow{"ExtendedValue",
                             "attachment; filename*=utf-8''%C3%A9.txt",
                             "attachment",
                             {{"filename", "utf-8''%C3%A9.txt", true}}},
                    ValueRow{"SameNameTwice",
                             "text/plain; a=1; b=2; a=3",
                             "text/plain",
                             {{"a", "13", false}, {"b", "2", false}}},
                    ValueRow{"TextBehindQuotesSkipped",
                             "a; n=\"v\" junk; m=w",
                             "a",
                             {{"n", "v", false}, {"m", "w", false}}},
                    ValueRow{"NoParameters", "message/rfc822", "message/rfc822", {}},
                    ValueRow{"Empty", "", "", {}}),
    [](const testing::TestParamInfo<ValueRow>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
