#include "source/image_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/source_test_files.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Sector(std::string_view start, std::uint8_t fill = 0x5A) {
  Bytes sector(512, fill);
  std::copy(start.begin(), start.end(), sector.begin());
  return sector;
}

// A fixed VHD's footer with its checksum set (or spoilt) at byte 64.
Bytes VhdFooter(bool validChecksum) {
  Bytes footer = Sector("conectix", 0);
  footer[20] = 0x12;
  footer[63] = 0x34;
  std::uint32_t sum = 0;
  for (std::uint8_t byte : footer) sum += byte;
  std::uint32_t checksum = ~sum + (validChecksum ? 0 : 1);
  for (int i = 0; i < 4; ++i) footer[64 + i] = static_cast<std::uint8_t>(checksum >> (24 - 8 * i));
  return footer;
}

// The footer less its last byte: a file that ends one byte early.
Bytes CutFooter() {
  Bytes footer = VhdFooter(true);
  footer.pop_back();
  return footer;
}

struct FormatRow {
  std::string label;
  Bytes head;
  Bytes tail;
  SourceContainer expected;
};

class DetectImageFormatTest : public testing::TestWithParam<FormatRow> {};

TEST_P(DetectImageFormatTest, TellsTheContainerBySignature) {
  EXPECT_EQ(DetectImageFormat(GetParam().head, GetParam().tail), GetParam().expected);
}

using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(
    Signatures, DetectImageFormatTest,
    testing::Values(
        FormatRow{"Ewf", Sector("EVF\x09\x0d\x0a\xff\x00"sv), {}, SourceContainer::Ewf},
        FormatRow{"Ewf2", Sector("EVF2\x0d\x0a\x81\x00"sv), {}, SourceContainer::Ewf2},
        // Logical evidence holds files, not a disk: scanned as raw bytes.
        FormatRow{
            "LogicalEvidenceIsRaw", Sector("LVF\x09\x0d\x0a\xff\x00"sv), {}, SourceContainer::None},
        FormatRow{
            "EwfSignatureCutShort", Sector("EVF\x09\x0d\x0a\xff\x01"sv), {}, SourceContainer::None},
        FormatRow{"VmdkSparse", Sector("KDMV"), {}, SourceContainer::Vmdk},
        FormatRow{"VmdkServerSparse", Sector("COWD"), {}, SourceContainer::Vmdk},
        FormatRow{"VmdkDescriptor",
                  Sector("# Disk DescriptorFile\nversion=1\n"),
                  {},
                  SourceContainer::Vmdk},
        FormatRow{"DescriptorWordElsewhereIsRaw",
                  Sector("x # Disk DescriptorFile"),
                  {},
                  SourceContainer::None},
        FormatRow{"Vhdx", Sector("vhdxfile"), {}, SourceContainer::Vhdx},
        FormatRow{"DynamicVhd", Sector("conectix"), Sector("conectix"), SourceContainer::Vhd},
        FormatRow{"FixedVhdFooter", Sector("plain disk bytes"), VhdFooter(true),
                  SourceContainer::Vhd},
        // A raw disk may end in anything; only a footer whose checksum holds makes a VHD.
        FormatRow{"FooterWithBadChecksumIsRaw", Sector("plain disk bytes"), VhdFooter(false),
                  SourceContainer::None},
        FormatRow{"FooterNotAtTheVeryEndIsRaw", Sector("x"), CutFooter(), SourceContainer::None},
        FormatRow{"ExtensionOnlyMattersNot", Sector("E01 EVF"), {}, SourceContainer::None},
        FormatRow{"ShortFile", Bytes{'E', 'V', 'F'}, {}, SourceContainer::None},
        FormatRow{"Empty", Bytes{}, Bytes{}, SourceContainer::None}),
    test::RowLabel());

struct LabelRow {
  std::string label;
  SourceFacts facts;
  std::string expected;
};

class SourceContainerLabelTest : public testing::TestWithParam<LabelRow> {};

TEST_P(SourceContainerLabelTest, NamesTheContainerAndItsFiles) {
  EXPECT_EQ(SourceContainerLabel(GetParam().facts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, SourceContainerLabelTest,
    testing::Values(LabelRow{"Plain", {SourceContainer::None, 1, {}}, ""},
                    LabelRow{"EwfSegments", {SourceContainer::Ewf, 3, {}}, "E01, 3 segments"},
                    LabelRow{"EwfOneSegment", {SourceContainer::Ewf, 1, {}}, "E01, 1 segment"},
                    LabelRow{"Ewf2", {SourceContainer::Ewf2, 2, {}}, "Ex01, 2 segments"},
                    LabelRow{"Split", {SourceContainer::SplitRaw, 4, {}}, "split raw, 4 pieces"},
                    LabelRow{"Vmdk", {SourceContainer::Vmdk, 2, {}}, "VMDK"},
                    LabelRow{"Vhd", {SourceContainer::Vhd, 1, {}}, "VHD"},
                    LabelRow{"Vhdx", {SourceContainer::Vhdx, 1, {}}, "VHDX"}),
    test::RowLabel());

}  // namespace
}  // namespace quillon
