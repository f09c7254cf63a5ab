#include "app/cli/arguments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "scan/scan_driver.h"
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
        RefusedRow{"ThreadsZero", "scan x.img --threads 0",
                   "--threads needs a number of threads between 1 and 256"},
        RefusedRow{"ThreadsTooMany", "save x.img --out d --threads 257",
                   "--threads needs a number of threads between 1 and 256"},
        RefusedRow{"ThreadsNotANumber", "show x.img --index 1 --threads two",
                   "--threads needs a number, not 'two'"},
        RefusedRow{"ThreadsWithoutValue", "scan x.img --threads", "--threads needs a value"},
        RefusedRow{"FormatOther", "save x.img --out d --format pdf",
                   "--format takes eml, txt or mbox"},
        RefusedRow{"ReportOnScan", "scan x.img --report",
                   "--report is an option of save, not of scan"},
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
                      AcceptedRow{"SaveReport", "save x.img --out d --report --hash", false},
                      AcceptedRow{"SaveMailbox", "save x.img --out d --format mbox", false},
                      AcceptedRow{"Show", "show x.img --index 2 --txt --sectors 1", false},
                      AcceptedRow{"CodePagesConvertersKnow", "scan x.img --codepage 1252", false},
                      AcceptedRow{"ScanHelp", "scan --help", true},
                      AcceptedRow{"SaveHelpWithoutOut", "save --help", true},
                      AcceptedRow{"ShowShortHelp", "show x.img -h", true}),
    RowName{});

// --find and --in, with the words as a shell hands them over (an empty text is one word).
struct FindRow {
  const char* name;
  std::vector<std::string> words;
  std::string error;  // empty: accepted
  std::u16string text;
  std::string fields;  // s subject, f sender, t recipients, c content
};

class FindArguments : public ::testing::TestWithParam<FindRow> {};

TEST_P(FindArguments, Parse) {
  const FindRow& row = GetParam();
  Arguments arguments;
  std::string error;
  const bool parsed = ParseArguments(row.words, arguments, error);
  EXPECT_EQ(error, row.error);
  ASSERT_EQ(parsed, row.error.empty());
  if (!parsed) return;
  ASSERT_TRUE(arguments.find.has_value());
  const FindSettings& find = *arguments.find;
  EXPECT_EQ(find.text, row.text);
  std::string fields;
  if (find.subject) fields += 's';
  if (find.sender) fields += 'f';
  if (find.recipients) fields += 't';
  if (find.content) fields += 'c';
  EXPECT_EQ(fields, row.fields);
}

const std::string kBadField =
    "--in takes subject, sender, recipients and content, separated by commas; ";

INSTANTIATE_TEST_SUITE_P(
    Arguments, FindArguments,
    ::testing::Values(
        FindRow{
            "EveryFieldByDefault", {"scan", "x.img", "--find", "harbour"}, "", u"harbour", "sftc"},
        FindRow{"Utf8Text",
                {"scan", "x.img", "--find", "\xd0\x9a\xd0\xb0\xd0\xb7\xd0\xb0\xd0\xbd\xd1\x8c"},
                "",
                u"\u041a\u0430\u0437\u0430\u043d\u044c",
                "sftc"},
        FindRow{"TextWithBlanks",
                {"scan", "x.img", "--find", "tide table", "--json"},
                "",
                u"tide table",
                "sftc"},
        FindRow{"OneField", {"scan", "x.img", "--find", "x", "--in", "subject"}, "", u"x", "s"},
        FindRow{"InBeforeFind",
                {"scan", "x.img", "--in", "sender,content", "--find", "x"},
                "",
                u"x",
                "fc"},
        FindRow{"EveryFieldNamed",
                {"scan", "x.img", "--find", "x", "--in", "content,recipients,sender,subject"},
                "",
                u"x",
                "sftc"},
        FindRow{
            "FieldTwice", {"scan", "x.img", "--find", "x", "--in", "sender,sender"}, "", u"x", "f"},
        FindRow{"EmptyText",
                {"scan", "x.img", "--find", ""},
                "--find needs a text to look for, not an empty one",
                u"",
                ""},
        FindRow{"NoText", {"scan", "x.img", "--find"}, "--find needs a value", u"", ""},
        FindRow{"UnknownField",
                {"scan", "x.img", "--find", "x", "--in", "subject,body"},
                kBadField + "'body' is none of them",
                u"",
                ""},
        FindRow{"FieldInCapitals",
                {"scan", "x.img", "--find", "x", "--in", "Subject"},
                kBadField + "'Subject' is none of them",
                u"",
                ""},
        FindRow{"EmptyFieldList",
                {"scan", "x.img", "--find", "x", "--in", ""},
                kBadField + "'' is none of them",
                u"",
                ""},
        FindRow{"TrailingComma",
                {"scan", "x.img", "--find", "x", "--in", "subject,"},
                kBadField + "'' is none of them",
                u"",
                ""},
        FindRow{"InWithoutFind",
                {"scan", "x.img", "--in", "subject"},
                "--in needs --find: it names the fields --find searches",
                u"",
                ""},
        FindRow{"FindOnSave",
                {"save", "x.img", "--out", "d", "--find", "x"},
                "--find is an option of scan, not of save",
                u"",
                ""},
        FindRow{"InOnShow",
                {"show", "x.img", "--index", "1", "--in", "subject"},
                "--in is an option of scan, not of show",
                u"",
                ""}),
    RowName{});

TEST(Arguments, KeepTheValuesGiven) {
  Arguments arguments;
  std::string error;
  ASSERT_TRUE(ParseArguments(Words("show /srv/x.img --index 7 --codepage 936 --start-sector 9 "
                                   "--sectors 100 --txt --threads 3"),
                             arguments, error))
      << error;
  EXPECT_EQ(arguments.command, "show");
  EXPECT_EQ(arguments.source, "/srv/x.img");
  EXPECT_EQ(arguments.index, 7u);
  EXPECT_EQ(arguments.codePage, 936);
  EXPECT_EQ(arguments.startSector, 9u);
  EXPECT_EQ(arguments.sectors, 100u);
  EXPECT_EQ(arguments.threads, 3u);
  EXPECT_EQ(ScanThreadsOf(arguments), 3u);
  EXPECT_TRUE(arguments.txt);
  EXPECT_FALSE(arguments.find.has_value());
}

// Without --threads a scan takes a thread per core, and at least one where the count is unknown.
TEST(Arguments, ThreadsDefaultToTheCores) {
  Arguments arguments;
  std::string error;
  ASSERT_TRUE(ParseArguments(Words("scan x.img"), arguments, error)) << error;
  EXPECT_FALSE(arguments.threads.has_value());
  EXPECT_EQ(ScanThreadsOf(arguments), std::max(1u, std::thread::hardware_concurrency()));
  EXPECT_EQ(ScanOptions{}.threads, ScanThreadsOf(arguments));
}

struct QuotingRow {
  const char* name;
  std::vector<std::string> words;
  std::string expected;
};

class QuotedCommandLineTest : public ::testing::TestWithParam<QuotingRow> {};

// The report's command line must read back as the same words in a POSIX shell.
TEST_P(QuotedCommandLineTest, Quotes) {
  EXPECT_EQ(QuotedCommandLine(GetParam().words), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, QuotedCommandLineTest,
    ::testing::Values(QuotingRow{"Plain",
                                 {"quillon", "save", "/srv/x.E01", "--out", "d"},
                                 "quillon save /srv/x.E01 --out d"},
                      QuotingRow{
                          "Blank", {"quillon", "--out", "Mail Box"}, "quillon --out 'Mail Box'"},
                      QuotingRow{"SingleQuote", {"it's"}, "'it'\\''s'"},
                      QuotingRow{"Empty", {"a", ""}, "a ''"},
                      QuotingRow{"ShellCharacters", {"$HOME;rm", "*"}, "'$HOME;rm' '*'"}),
    RowName{});

}  // namespace
}  // namespace quillon
