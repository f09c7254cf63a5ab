#include "app/cli/arguments.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/test_helpers.h"

namespace quillon {
namespace {

using test::RowName;

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// A command line that gives no answer is a usage error that names the problem.
struct RefusedRow {
  const char* name;
  std::string line;
  std::string error;
};

class RefusedArguments : public ::testing::TestWithParam<RefusedRow> {};

TEST_P(RefusedArguments, NameTheProblem) {
  Arguments arguments;
  std::string error;
  EXPECT_FALSE(ParseArguments(Words(GetParam().line), arguments, error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, RefusedArguments,
    ::testing::Values(
        RefusedRow{"NoCommand", "", "no command given"},
        RefusedRow{"UnknownCommand", "list x.img", "unknown command 'list'"},
        RefusedRow{"NoSource", "scan --json", "no source given"},
        RefusedRow{"TwoSources", "scan a.img b.img",
                   "more than one source given ('a.img' and 'b.img')"},
        RefusedRow{"UnknownOption", "scan x.img --fast", "unknown option '--fast'"},
        RefusedRow{"SaveOptionOnScan", "scan x.img --out dir",
                   "--out is an option of save, not of scan"},
        RefusedRow{"ShowOptionOnSave", "save x.img --out d --index 3",
                   "--index is an option of show, not of save"},
        RefusedRow{"ScanOptionOnShow", "show x.img --index 1 --json",
                   "--json is an option of scan, not of show"},
        RefusedRow{"FormatOnShow", "show x.img --format txt",
                   "--format is an option of save, not of show"},
        RefusedRow{"ZeroSectors", "scan x.img --sectors 0",
                   "--sectors needs a number from 1 on: 0 sectors hold no mail"},
        RefusedRow{"NegativeSectors", "scan x.img --sectors -5",
                   "--sectors needs a number, not '-5'"},
        RefusedRow{"SectorsWithoutValue", "scan x.img --sectors", "--sectors needs a value"},
        RefusedRow{"StartSectorNotANumber", "scan x.img --start-sector 1e3",
                   "--start-sector needs a number, not '1e3'"},
        RefusedRow{"CodePageNoConverterKnows", "scan x.img --codepage 12345",
                   "--codepage 12345: no converter on this machine supports that code page"},
        RefusedRow{"CodePageZero", "scan x.img --codepage 0",
                   "--codepage needs a code page number between 1 and 65535"},
        RefusedRow{"CodePageTooLarge", "scan x.img --codepage 65536",
                   "--codepage needs a code page number between 1 and 65535"},
        RefusedRow{"FormatOther", "save x.img --out d --format pdf", "--format takes eml or txt"},
        RefusedRow{"StandardInput", "scan -",
                   "a source cannot be read from standard input ('-'): its size cannot be known; "
                   "copy the stream into an image file first"}),
    RowName{});

struct AcceptedRow {
  const char* name;
  std::string line;
  bool help;
};

class AcceptedArguments : public ::testing::TestWithParam<AcceptedRow> {};

TEST_P(AcceptedArguments, Parse) {
  Arguments arguments;
  std::string error;
  EXPECT_TRUE(ParseArguments(Words(GetParam().line), arguments, error)) << error;
  EXPECT_EQ(arguments.help, GetParam().help);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, AcceptedArguments,
    ::testing::Values(AcceptedRow{"Scan", "scan x.img --json --strict --start-sector 8", false},
                      AcceptedRow{"Save", "save x.img --out d --format txt --skip-duplicates",
                                  false},
                      AcceptedRow{"Show", "show x.img --index 2 --txt --sectors 1", false},
                      AcceptedRow{"CodePagesConvertersKnow", "scan x.img --codepage 1252", false},
                      AcceptedRow{"ScanHelp", "scan --help", true},
                      AcceptedRow{"SaveHelpWithoutOut", "save --help", true},
                      AcceptedRow{"ShowShortHelp", "show x.img -h", true}),
    RowName{});

TEST(Arguments, KeepTheValuesGiven) {
  Arguments arguments;
  std::string error;
  ASSERT_TRUE(ParseArguments(Words("show /srv/x.img --index 7 --codepage 936 --start-sector 9 "
                                   "--sectors 100 --txt"),
                             arguments, error))
      << error;
  EXPECT_EQ(arguments.command, "show");
  EXPECT_EQ(arguments.source, "/srv/x.img");
  EXPECT_EQ(arguments.index, 7u);
  EXPECT_EQ(arguments.codePage, 936);
  EXPECT_EQ(arguments.startSector, 9u);
  EXPECT_EQ(arguments.sectors, 100u);
  EXPECT_TRUE(arguments.txt);
}

}  // namespace
}  // namespace quillon
