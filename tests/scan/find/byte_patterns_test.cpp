// The fast searches must find exactly what a plain byte-by-byte look finds, wherever the
// patterns lie against the vector steps, the range's ends and the sector starts.
#include "scan/find/byte_patterns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {
namespace {

struct Marks {
  std::vector<std::uint64_t> anchors;
  std::vector<std::uint64_t> sizeFields;
  std::set<std::uint64_t> lineBreakSectors;
  std::set<std::uint64_t> traceLineSectors;  // line breaks before an 'R' or 'r'
  std::set<std::uint64_t> nulSectors;        // sectors with a NUL in the range, exactly
  std::set<std::uint64_t> dashSectors;       // sectors with a '-' in the range
};

// The CRs in [begin, end) that begin a line break (with `beforeR`: one whose next line begins
// with 'R' or 'r'), as far as the range tells.
std::vector<std::uint64_t> LineBreakCarriageReturns(const std::vector<std::uint8_t>& data,
                                                    std::size_t begin, std::size_t end,
                                                    std::uint64_t base, bool beforeR) {
  std::vector<std::uint64_t> found;
  for (std::size_t i = begin; i < end; ++i) {
    const bool lineBreak = data[i] == '\r' && (i + 1 == end || data[i + 1] == '\n');
    const bool traceLine = i + 2 >= end || (data[i + 2] | 0x20) == 'r';
    if (lineBreak && (!beforeR || traceLine)) found.push_back(base + i);
  }
  return found;
}

Marks PlainLook(const std::vector<std::uint8_t>& data, std::size_t begin, std::size_t end,
                std::uint64_t base) {
  Marks found;
  for (std::size_t colon = std::max<std::size_t>(begin, 4); colon < end; ++colon) {
    const std::size_t anchor = colon - 4;
    const std::uint8_t initial = data[anchor] | 0x20;
    const bool opensLine = anchor > 0 && data[anchor - 1] == '\n';
    if (data[colon] == ':' && (initial == 'f' || initial == 'd') &&
        (opensLine || (base + anchor) % 512 == 0))
      found.anchors.push_back(base + anchor);
  }
  for (std::size_t i = begin; i + 4 <= end; ++i) {
    if ((base + i) % 4 == 0 && data[i + 1] == 0x02 && data[i + 2] == 0 && data[i + 3] == 0)
      found.sizeFields.push_back(base + i);
  }
  for (std::uint64_t at : LineBreakCarriageReturns(data, begin, end, base, false))
    found.lineBreakSectors.insert(at / 512);
  for (std::uint64_t at : LineBreakCarriageReturns(data, begin, end, base, true))
    found.traceLineSectors.insert(at / 512);
  for (std::size_t i = begin; i < end; ++i)
    if (data[i] == 0) found.nulSectors.insert((base + i) / 512);
  for (std::size_t i = begin; i < end; ++i)
    if (data[i] == '-') found.dashSectors.insert((base + i) / 512);
  return found;
}

Marks FastLook(const std::vector<std::uint8_t>& data, std::size_t begin, std::size_t end,
               std::uint64_t base, MarkSteps widest = MarkSteps::Avx512) {
  Marks found;
  const std::uint64_t sectors = (base + data.size()) / 512 + 1;
  std::vector<std::uint64_t> any(sectors / 64 + 1, 0);
  std::vector<std::uint64_t> beforeR(sectors / 64 + 1, 0);
  std::vector<std::uint64_t> nuls(sectors / 64 + 1, 0);
  std::vector<std::uint64_t> dashes(sectors / 64 + 1, 0);
  FindMarkPositions(
      data.data(), begin, end, base, found.anchors, found.sizeFields,
      LineBreakBits{SectorBits{0, any.data(), sectors}, SectorBits{0, beforeR.data(), sectors},
                    SectorBits{0, nuls.data(), sectors}, SectorBits{0, dashes.data(), sectors}},
      widest);
  for (std::uint64_t sector = 0; sector < sectors; ++sector) {
    if ((any[sector / 64] >> (sector % 64)) & 1) found.lineBreakSectors.insert(sector);
    if ((beforeR[sector / 64] >> (sector % 64)) & 1) found.traceLineSectors.insert(sector);
    if ((nuls[sector / 64] >> (sector % 64)) & 1) found.nulSectors.insert(sector);
    if ((dashes[sector / 64] >> (sector % 64)) & 1) found.dashSectors.insert(sector);
  }
  return found;
}

std::vector<std::uint8_t> PlantedBytes(std::mt19937& random) {
  // Bytes drawn from a small alphabet, so that the patterns and near misses are frequent.
  const std::uint8_t alphabet[] = {':',  'F',  'f',  'D',  'd',  'e', 0x02,
                                   0x00, 0x00, '\n', 0xC6, '\r', 'R', '-'};
  std::vector<std::uint8_t> data(4096);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
  for (auto& byte : data) byte = alphabet[pick(random)];
  return data;
}

// Every width this processor has (narrower ones stand in for those it lacks), and bytes alone.
constexpr MarkSteps kEverySteps[] = {MarkSteps::Bytes, MarkSteps::Sse2, MarkSteps::Avx2,
                                     MarkSteps::Avx512};

// The fast marks hold exactly the plain look's anchors and size fields. Every sector with a line
// break is set; one more only where a vector step that holds a line break touches it. The same for
// line breaks before an 'R'.
void ExpectSameMarks(const std::vector<std::uint8_t>& data, std::size_t begin, std::size_t end,
                     std::uint64_t base, const Marks& plain, const Marks& fast,
                     const std::string& label) {
  EXPECT_EQ(fast.anchors, plain.anchors) << label;
  EXPECT_EQ(fast.sizeFields, plain.sizeFields) << label;
  EXPECT_EQ(fast.nulSectors, plain.nulSectors) << label;
  // Every sector with a dash is set; one more only where the full steps ran, behind a colon or
  // a 0x02 (base64 and zeros stay clear).
  for (std::uint64_t sector : plain.dashSectors)
    EXPECT_TRUE(fast.dashSectors.count(sector)) << label << " dash sector " << sector;
  const bool loud = std::any_of(data.begin() + static_cast<std::ptrdiff_t>(begin),
                                data.begin() + static_cast<std::ptrdiff_t>(end),
                                [](std::uint8_t byte) { return byte == ':' || byte == 0x02; });
  if (!loud) {
    EXPECT_EQ(fast.dashSectors, plain.dashSectors) << label;
  }
  for (bool beforeR : {false, true}) {
    const std::set<std::uint64_t>& expected =
        beforeR ? plain.traceLineSectors : plain.lineBreakSectors;
    const std::set<std::uint64_t>& set = beforeR ? fast.traceLineSectors : fast.lineBreakSectors;
    const std::vector<std::uint64_t> breaks =
        LineBreakCarriageReturns(data, begin, end, base, beforeR);
    for (std::uint64_t sector : expected)
      EXPECT_TRUE(set.count(sector)) << label << " sector " << sector << " beforeR " << beforeR;
    for (std::uint64_t sector : set) {
      const bool near = std::any_of(breaks.begin(), breaks.end(), [&](std::uint64_t at) {
        return at + 64 > sector * 512 && at < sector * 512 + 512 + 64;
      });
      EXPECT_TRUE(near) << label << " sector " << sector << " has none, beforeR " << beforeR;
    }
  }
}

TEST(BytePatternsTest, FastSearchesFindWhatAPlainLookFinds) {
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint8_t> data = PlantedBytes(random);
    // Anchors at sector starts without a line break in front of them, against every offset.
    const std::uint64_t base = random() % 1024;
    for (std::size_t at = (512 - base % 512) % 512; at + 5 <= data.size(); at += 512) {
      data[at] = "FfDd"[random() % 4];
      data[at + 4] = ':';
      if (at > 0) data[at - 1] = 'x';
    }
    // Half the rounds have a few line breaks only, so that most sectors have none.
    if (round % 2 == 1) {
      for (auto& byte : data) byte = byte == '\r' ? 'e' : byte;
      for (int planted = random() % 4; planted > 0; --planted) {
        const std::size_t at = random() % (data.size() - 1);
        data[at] = '\r';
        data[at + 1] = '\n';
      }
    }
    // A quarter of the rounds have a few NULs only, so that most sectors hold none (and the steps
    // that pass over quiet sectors take some of them).
    if (round % 4 == 3) {
      for (auto& byte : data) byte = byte == 0 || byte == ':' || byte == 0x02 ? 'e' : byte;
      for (int planted = random() % 4; planted > 0; --planted) data[random() % data.size()] = 0;
    }
    const std::size_t begin = round % 3 == 0 ? 0 : random() % 100;
    const std::size_t end = data.size() - random() % 100;
    const Marks plain = PlainLook(data, begin, end, base);
    for (MarkSteps widest : kEverySteps) {
      ExpectSameMarks(
          data, begin, end, base, plain, FastLook(data, begin, end, base, widest),
          "round " + std::to_string(round) + " steps " + std::to_string(static_cast<int>(widest)));
    }
  }
}

TEST(BytePatternsTest, EmptyAndPatternFreeRangesFindNothing) {
  const std::vector<std::uint8_t> text(200, 'x');
  EXPECT_TRUE(FastLook(text, 0, text.size(), 1).anchors.empty());
  EXPECT_TRUE(FastLook(text, 0, text.size(), 1).sizeFields.empty());
  EXPECT_TRUE(FastLook(text, 50, 50, 0).anchors.empty());
  // A lone colon needs its initial four bytes before it and a line start.
  std::vector<std::uint8_t> line(200, 'x');
  line[99] = '\n';
  line[100] = 'D';
  line[104] = ':';
  EXPECT_EQ(FastLook(line, 0, line.size(), 1).anchors, std::vector<std::uint64_t>{101});
  EXPECT_TRUE(FastLook(line, 0, 104, 1).anchors.empty()) << "the colon lies behind the range";
  line[99] = ' ';
  EXPECT_TRUE(FastLook(line, 0, line.size(), 1).anchors.empty());
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// One pattern, planted at every position against the vector steps and the sector starts, with
// the range ending inside it, right behind it and a little later.
struct PlantedPattern {
  const char* name;
  std::vector<std::uint8_t> bytes;
};

void PrintTo(const PlantedPattern& pattern, std::ostream* out) {
  *out << pattern.name;
}

class PlantedPatternTest : public ::testing::TestWithParam<PlantedPattern> {};

TEST_P(PlantedPatternTest, EveryStepWidthFindsWhatAPlainLookFinds) {
  const std::vector<std::uint8_t>& pattern = GetParam().bytes;
  int compared = 0;
  // Bases put a sector start before, at and inside the widest steps.
  for (std::uint64_t base : {0u, 1u, 3u, 500u, 510u}) {
    for (std::size_t at = 0; at < 2 * 64 + 9; ++at) {
      std::vector<std::uint8_t> data(at + pattern.size() + 80, 'x');
      std::copy(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
      for (std::size_t tail : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{66}}) {
        for (std::size_t cut : {std::size_t{0}, pattern.size() / 2}) {
          const std::size_t end = at + pattern.size() - cut + tail;
          const Marks plain = PlainLook(data, 0, end, base);
          for (MarkSteps widest : kEverySteps) {
            ExpectSameMarks(data, 0, end, base, plain, FastLook(data, 0, end, base, widest),
                            std::string(GetParam().name) + " at " + std::to_string(at) + " base " +
                                std::to_string(base) + " end " + std::to_string(end) + " steps " +
                                std::to_string(static_cast<int>(widest)));
            ++compared;
          }
          if (HasFailure()) return;  // one failing placement tells enough
        }
      }
    }
  }
  EXPECT_GT(compared, 0);
}

using namespace std::string_view_literals;

std::vector<std::uint8_t> Bytes(std::string_view text) {
  return {text.begin(), text.end()};
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, PlantedPatternTest,
    ::testing::Values(
        PlantedPattern{"FromAtLineStart", Bytes("\nFrom: a")},
        PlantedPattern{"DateInLowerCase", Bytes("\ndate: 1")},
        PlantedPattern{"AnchorWithoutLineStart", Bytes("yFrom: a")},
        PlantedPattern{"AnchorAloneAtSectorStarts", Bytes("Date:")},
        PlantedPattern{"ColonTooEarly", Bytes("\nFro:m")},
        PlantedPattern{"SizeField", {0x10, 0x02, 0x00, 0x00}},
        PlantedPattern{"SizeFieldNearMiss", {0x10, 0x03, 0x00, 0x00, 0x10, 0x02, 0x01}},
        PlantedPattern{"SizeFieldsBackToBack",
                       {0xFF, 0x02, 0, 0, 0x00, 0x02, 0, 0, 0x7A, 0x02, 0, 0}},
        PlantedPattern{"TraceLineBreak", Bytes("\r\nReceived: ")},
        PlantedPattern{"Nul", std::vector<std::uint8_t>{0x00}},
        PlantedPattern{"DashLine", Bytes("\r\n--")},
        PlantedPattern{"LineBreakBeforeOtherLine", Bytes("\r\nSubject: ")},
        PlantedPattern{"BareCarriageReturn", Bytes("\rx\r")},
        PlantedPattern{"EverythingTogether", Bytes("\r\nFrom: \x00\x02\x00\x00\r\nrDate:"sv)}),
    [](const ::testing::TestParamInfo<PlantedPattern>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// Long stretches of one kind of bytes, as a disk holds them: the search passes over sectors with
// no colon and no 0x02 on their line breaks alone, and tries that less often behind sectors that
// have them. A mark planted in any sector behind any such stretch must still be found.
struct Stretch {
  enum Kind { Base64Lines, Zeros, RandomBytes, PlainText } kind;
  std::size_t sectors;
};

struct StretchLayout {
  const char* name;
  std::vector<Stretch> stretches;
};

void PrintTo(const StretchLayout& layout, std::ostream* out) {
  *out << layout.name;
}

std::vector<std::uint8_t> LaidOut(const std::vector<Stretch>& stretches, std::mt19937& random) {
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> data;
  for (const Stretch& stretch : stretches) {
    const std::size_t end = data.size() + stretch.sectors * 512;
    for (std::size_t column = 0; data.size() < end; ++column) {
      switch (stretch.kind) {
        case Stretch::Base64Lines:
          data.push_back(column % 78 == 76 ? '\r'
                         : column % 78 == 77
                             ? '\n'
                             : static_cast<std::uint8_t>(alphabet[random() % alphabet.size()]));
          break;
        case Stretch::Zeros:
          data.push_back(0);
          break;
        case Stretch::RandomBytes:
          data.push_back(static_cast<std::uint8_t>(random()));
          break;
        case Stretch::PlainText:
          data.push_back("rounded text\r\n"[column % 14]);
          break;
      }
    }
  }
  return data;
}

class StretchLayoutTest : public ::testing::TestWithParam<StretchLayout> {};

TEST_P(StretchLayoutTest, MarksPlantedInEverySectorAreFound) {
  std::mt19937 random(11);
  const std::vector<std::uint8_t> laidOut = LaidOut(GetParam().stretches, random);
  // An anchor, a size field alone (no colon near it), a trace line's break and a boundary line
  // (a dash in a sector with no colon), in turn.
  const std::vector<std::vector<std::uint8_t>> marks = {
      Bytes("\r\nFrom: a"), {0x10, 0x02, 0x00, 0x00}, Bytes("\r\nReceived"), Bytes("\r\n--b")};
  int found = 0;
  // Every sector of short layouts, about 64 spread over long ones.
  const std::size_t stride = 1 + laidOut.size() / 512 / 64;
  for (std::size_t sector = 0; sector * 512 + 600 < laidOut.size(); sector += stride) {
    std::vector<std::uint8_t> data = laidOut;
    // Each mark at another place in its sector and against the vector steps; size fields on
    // their 4-byte boundaries.
    const std::vector<std::uint8_t>& mark = marks[sector % marks.size()];
    const std::size_t at = sector * 512 + (sector * 36) % 480;
    std::copy(mark.begin(), mark.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    const std::uint64_t base = sector % 2 == 0 ? 0 : 2048;
    const Marks plain = PlainLook(data, 0, data.size(), base);
    for (MarkSteps widest : kEverySteps) {
      const Marks fast = FastLook(data, 0, data.size(), base, widest);
      ExpectSameMarks(data, 0, data.size(), base, plain, fast,
                      std::string(GetParam().name) + " sector " + std::to_string(sector) +
                          " steps " + std::to_string(static_cast<int>(widest)));
      found += std::count(fast.anchors.begin(), fast.anchors.end(), base + at + 2) +
               std::count(fast.sizeFields.begin(), fast.sizeFields.end(), base + at) +
               static_cast<int>(sector % marks.size() == 3 &&
                                fast.dashSectors.count((base + at + 2) / 512) == 1);
    }
    if (HasFailure()) return;
  }
  EXPECT_GT(found, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, StretchLayoutTest,
    ::testing::Values(StretchLayout{"Base64Alone", {{Stretch::Base64Lines, 24}}},
                      StretchLayout{"ZerosThenBase64",
                                    {{Stretch::Zeros, 8}, {Stretch::Base64Lines, 16}}},
                      StretchLayout{"RandomThenBase64",
                                    {{Stretch::RandomBytes, 200}, {Stretch::Base64Lines, 90}}},
                      StretchLayout{"TextBetweenRandom",
                                    {{Stretch::RandomBytes, 20},
                                     {Stretch::PlainText, 10},
                                     {Stretch::RandomBytes, 3},
                                     {Stretch::Base64Lines, 70}}}),
    [](const ::testing::TestParamInfo<StretchLayout>& row) { return row.param.name; });

}  // namespace
}  // namespace quillon
