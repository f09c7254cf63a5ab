#include "scan/lines/mime_header.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace quillon
