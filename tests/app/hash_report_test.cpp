#include "app/cli/hash_report.h"

#include <gtest/gtest.h>

#include <string>

#include "source/source_test_files.h"

namespace quillon {
namespace {

const DigestValue kSha256{DigestAlgorithm::Sha256, "aa11"};
const DigestValue kMd5{DigestAlgorithm::Md5, "bb22"};

struct ReportRow {
  std::string label;
  HashedScan scan;
  std::string expected;
};

class HashReportTest : public testing::TestWithParam<ReportRow> {};

TEST_P(HashReportTest, PrintsDigestsAndChecks) {
  EXPECT_EQ(HashReportText(GetParam().scan), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, HashReportTest,
    testing::Values(
        ReportRow{
            "WholeRawImage", {{kSha256, kMd5}, 0, 1024, 1024, 1024, {}}, "sha256 aa11\nmd5 bb22\n"},
        ReportRow{"StoredHashVerified",
                  {{kSha256, kMd5}, 0, 1024, 1024, 1024, {{"md5", "bb22"}}},
                  "sha256 aa11\nmd5 bb22\nstored md5 bb22 verified\n"},
        ReportRow{"StoredHashMismatch",
                  {{kSha256, kMd5}, 0, 1024, 1024, 1024, {{"md5", "bb23"}}},
                  "sha256 aa11\nmd5 bb22\nstored md5 bb23 MISMATCH\n"},
        ReportRow{"StoredHashNotComputed",
                  {{kSha256, kMd5}, 0, 1024, 1024, 1024, {{"sha1", "cc33"}}},
                  "sha256 aa11\nmd5 bb22\nstored sha1 cc33 not checked: not computed\n"},
        // Part of an image cannot prove the whole image's hash either way.
        ReportRow{"RangeScanned",
                  {{kSha256, kMd5}, 512, 256, 768, 1024, {{"md5", "bb22"}}},
                  "hashes of bytes 512 to 768 of 1024 only: the range scanned\nsha256 aa11\n"
                  "md5 bb22\nstored md5 bb22 not checked: only part of the image was read\n"},
        ReportRow{"Stopped",
                  {{kSha256}, 0, 512, 1024, 1024, {}},
                  "hashes of bytes 0 to 512 of 1024 only: the scan was stopped\nsha256 aa11\n"},
        ReportRow{"AlgorithmUnavailable",
                  {{kSha256, {DigestAlgorithm::Md5, ""}}, 0, 10, 10, 10, {}},
                  "sha256 aa11\nmd5 (not available in this build of libcrypto)\n"}),
    test::RowLabel());

}  // namespace
}  // namespace quillon
