#include "scan/read/source_digest.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "scan/source_bytes.h"
#include "source/source_test_files.h"
#include "support/scan_harness.h"

namespace quillon {
namespace {

struct VectorRow {
  std::string label;
  DigestAlgorithm algorithm;
  std::string message;
  std::string expected;
};

std::string Digest(DigestAlgorithm algorithm, std::string_view message, std::size_t piece) {
  SourceDigest digest({algorithm});
  for (std::size_t at = 0; at < message.size(); at += piece)
    digest.Add(message.data() + at, std::min(piece, message.size() - at));
  const std::vector<DigestValue> values = digest.Finish();
  return values.size() == 1 ? values[0].hex : "(" + std::to_string(values.size()) + " values)";
}

class KnownVectorTest : public testing::TestWithParam<VectorRow> {};

// Whole, and in pieces that cut the hash functions' 64-byte blocks anywhere.
TEST_P(KnownVectorTest, DigestsTheMessage) {
  const VectorRow& row = GetParam();
  EXPECT_EQ(Digest(row.algorithm, row.message, row.message.size() + 1), row.expected);
  for (std::size_t piece : {1u, 7u, 63u, 64u, 65u, 4096u})
    EXPECT_EQ(Digest(row.algorithm, row.message, piece), row.expected) << "pieces of " << piece;
}

const std::string kMillionA(1'000'000, 'a');

INSTANTIATE_TEST_SUITE_P(
    Vectors, KnownVectorTest,
    testing::Values(
        // FIPS 180-2, appendix B.
        VectorRow{"Sha256Empty", DigestAlgorithm::Sha256, "",
                  "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        VectorRow{"Sha256Abc", DigestAlgorithm::Sha256, "abc",
                  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        VectorRow{"Sha256TwoBlocks", DigestAlgorithm::Sha256,
                  "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                  "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        VectorRow{"Sha256MillionA", DigestAlgorithm::Sha256, kMillionA,
                  "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // RFC 1321, appendix A.5.
        VectorRow{"Md5Empty", DigestAlgorithm::Md5, "", "d41d8cd98f00b204e9800998ecf8427e"},
        VectorRow{"Md5A", DigestAlgorithm::Md5, "a", "0cc175b9c0f1b6a831c399e269772661"},
        VectorRow{"Md5Abc", DigestAlgorithm::Md5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
        VectorRow{"Md5MessageDigest", DigestAlgorithm::Md5, "message digest",
                  "f96b697d7cb7938d525a2f31aaf161d0"},
        VectorRow{"Md5Alphabet", DigestAlgorithm::Md5, "abcdefghijklmnopqrstuvwxyz",
                  "c3fcd3d76192e4007dfb496cca67e13b"},
        VectorRow{"Md5Digits", DigestAlgorithm::Md5,
                  "1234567890123456789012345678901234567890123456789012345678901234567890123456"
                  "7890",
                  "57edf4a22be3c955ac49da2e2107b67a"},
        // FIPS 180-2, appendix A.
        VectorRow{"Sha1Abc", DigestAlgorithm::Sha1, "abc",
                  "a9993e364706816aba3e25717850c26c9cd0d89d"},
        VectorRow{"Sha1MillionA", DigestAlgorithm::Sha1, kMillionA,
                  "34aa973cd4c4daa4f61eeb2bdbad27316534016f"}),
    test::RowLabel());

TEST(SourceDigestTest, ComputesEachAlgorithmOnceInTheOrderAsked) {
  SourceDigest digest({DigestAlgorithm::Md5, DigestAlgorithm::Sha256, DigestAlgorithm::Md5});
  digest.Include(DigestAlgorithm::Sha1);
  digest.Include(DigestAlgorithm::Sha256);
  digest.Add("abc", 3);
  const std::vector<DigestValue> expected = {
      {DigestAlgorithm::Md5, "900150983cd24fb0d6963f7d28e17f72"},
      {DigestAlgorithm::Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {DigestAlgorithm::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"}};
  EXPECT_EQ(digest.Finish(), expected);
  EXPECT_EQ(digest.BytesAdded(), 3u);
}

// An algorithm asked for once bytes have passed would digest only the rest: it is not begun.
TEST(SourceDigestTest, IncludeAfterTheFirstBytesIsIgnored) {
  SourceDigest digest({DigestAlgorithm::Sha256});
  digest.Add("a", 1);
  digest.Include(DigestAlgorithm::Md5);
  digest.Add("bc", 2);
  const std::vector<DigestValue> values = digest.Finish();
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].hex, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(SourceDigestTest, FinishEndsTheDigest) {
  SourceDigest digest({DigestAlgorithm::Md5});
  digest.Add("abc", 3);
  const std::vector<DigestValue> first = digest.Finish();
  digest.Add("more", 4);
  EXPECT_EQ(digest.Finish(), first);
  EXPECT_EQ(digest.BytesAdded(), 3u);
}

TEST(SourceDigestTest, NamesReadBackToTheirAlgorithms) {
  for (DigestAlgorithm algorithm :
       {DigestAlgorithm::Sha256, DigestAlgorithm::Md5, DigestAlgorithm::Sha1})
    EXPECT_EQ(DigestByName(DigestName(algorithm)), algorithm);
  EXPECT_EQ(DigestByName("MD5"), DigestAlgorithm::Md5);
  EXPECT_FALSE(DigestByName("sha512"));
  EXPECT_FALSE(DigestByName(""));
}

struct CheckRow {
  std::string label;
  std::vector<StoredHash> stored;
  std::vector<HashCheck> expected;
};

class CheckStoredHashesTest : public testing::TestWithParam<CheckRow> {};

TEST_P(CheckStoredHashesTest, HoldsStoredAgainstComputed) {
  const std::vector<DigestValue> computed = {
      {DigestAlgorithm::Md5, "900150983cd24fb0d6963f7d28e17f72"},
      {DigestAlgorithm::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"}};
  std::vector<HashCheck> results;
  for (const StoredHashCheck& check : CheckStoredHashes(GetParam().stored, computed))
    results.push_back(check.result);
  EXPECT_EQ(results, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, CheckStoredHashesTest,
    testing::Values(
        CheckRow{"Verified", {{"md5", "900150983cd24fb0d6963f7d28e17f72"}}, {HashCheck::Verified}},
        CheckRow{"UpperCaseStoredIsVerified",
                 {{"MD5", "900150983CD24FB0D6963F7D28E17F72"}},
                 {HashCheck::Verified}},
        CheckRow{
            "OneDigitOff", {{"md5", "900150983cd24fb0d6963f7d28e17f73"}}, {HashCheck::Mismatch}},
        CheckRow{"EmptyStoredIsAMismatch", {{"md5", ""}}, {HashCheck::Mismatch}},
        CheckRow{"NotComputed",
                 {{"sha256", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}},
                 {HashCheck::NotComputed}},
        CheckRow{"UnknownAlgorithm", {{"crc32", "352441c2"}}, {HashCheck::NotComputed}},
        CheckRow{"EachInTurn",
                 {{"sha1", "a9993e364706816aba3e25717850c26c9cd0d89d"},
                  {"md5", "00000000000000000000000000000000"}},
                 {HashCheck::Verified, HashCheck::Mismatch}}),
    test::RowLabel());

// The bytes a scan reads, digested while it reads them: the digest of the source's bytes.
std::string RandomImage(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  return bytes;
}

std::string DigestOf(std::string_view bytes) {
  return Digest(DigestAlgorithm::Sha256, bytes, bytes.size() + 1);
}

// The dbx block header the carver cuts out of a mail's text, moving the bytes behind it.
std::string BlockHeader() {
  return std::string("\x00\x10\x00\x00\x00\x02\x00\x00\x00\x02\x00\x00\x00\x00\x00\x00", 16);
}

// A mail whose Subject line holds a block header, which the carver cuts out of the line by
// moving the bytes in front of it; `at` is where the header lands (kept 4-aligned).
void PutStoredMail(std::string& image, std::size_t at, const std::string& subject) {
  const std::string head = "x\r\nReceived: by y\r\nFrom: a@x\r\nTo: b@x\r\nSubject: " + subject;
  const std::string mail =
      head + BlockHeader() + "tail\r\nDate: 1 Jan 2001 00:00:00\r\n\r\nbody\r\n";
  image.replace(at - head.size(), mail.size(), mail);
}

// Such mails in every chunk: one that starts before the chunk's end and reaches into the next
// chunk (the carver of this chunk moves bytes there), and one near the chunk's start.
std::string ImageWithBlockHeaders(std::size_t size) {
  std::string image = RandomImage(size, 5);
  constexpr std::size_t kChunk = std::size_t{kChunkSectors} * kSectorSize;
  for (std::size_t chunk = 1; chunk * kChunk + 8192 < size; ++chunk) {
    PutStoredMail(image, chunk * kChunk + 40, "across " + std::to_string(chunk));
    PutStoredMail(image, chunk * kChunk + 4096, "inside " + std::to_string(chunk));
  }
  return image;
}

struct ScanDigestRow {
  std::string label;
  std::string image;
  ScanOptions options;
  std::set<std::uint64_t> failingSectors;
  std::string expectedBytes;  // what the digest must cover
};

// A failure names the row, not megabytes of its image.
void PrintTo(const ScanDigestRow& row, std::ostream* out) {
  *out << row.label;
}

class ScanDigestTest : public testing::TestWithParam<ScanDigestRow> {};

TEST_P(ScanDigestTest, DigestsEveryByteReadOnceInOrder) {
  const ScanDigestRow& row = GetParam();
  SourceDigest digest({DigestAlgorithm::Sha256});
  ScanOptions options = row.options;
  options.digest = &digest;
  test::ScanBytes(row.image, options, row.failingSectors);
  EXPECT_EQ(digest.BytesAdded(), row.expectedBytes.size());
  EXPECT_EQ(digest.Finish()[0].hex, DigestOf(row.expectedBytes));
}

ScanOptions Range(std::uint64_t start, std::uint64_t count) {
  ScanOptions options;
  options.startSector = start;
  options.sectorCount = count;
  return options;
}

ScanOptions StrictScan() {
  ScanOptions options;
  options.strict = true;
  return options;
}

const std::string kStores = ImageWithBlockHeaders(5 * 1024 * 1024 + 7 * 512);
const std::string kRandom = RandomImage(3 * 1024 * 1024 + 300, 9);

// The image with the 128 sectors of one whole read zeroed: a read that fails, however it is
// retried, gives zeros there.
std::string WithZeroedRead(std::string image, std::uint64_t firstSector) {
  image.replace(firstSector * kSectorSize, 128 * kSectorSize, 128 * kSectorSize, '\0');
  return image;
}

std::set<std::uint64_t> SectorsOf(std::uint64_t first, std::uint64_t count) {
  std::set<std::uint64_t> sectors;
  for (std::uint64_t i = 0; i < count; ++i) sectors.insert(first + i);
  return sectors;
}

// The image above is only a test of the digest while the carver really moves bytes in it.
TEST(ScanDigestTest, CarverRemovesTheBlockHeadersOfTheStoredMails) {
  const test::ScanOutcome outcome = test::ScanBytes(kStores);
  std::set<std::string> subjects;
  for (const MailRecordPtr& record : outcome.records) subjects.insert(record->subject.String());
  for (const char* subject : {"across 1tail", "inside 1tail", "across 4tail", "inside 4tail"})
    EXPECT_TRUE(subjects.count(subject)) << subject;
}

INSTANTIATE_TEST_SUITE_P(
    Scans, ScanDigestTest,
    testing::Values(
        ScanDigestRow{"BlockHeadersAtChunkStarts", kStores, {}, {}, kStores},
        ScanDigestRow{"Strict", kStores, StrictScan(), {}, kStores},
        // The bytes of a trailing partial sector, not the zeros the sector is padded with.
        ScanDigestRow{"PartialLastSector", kRandom, {}, {}, kRandom},
        ScanDigestRow{"OneChunk", kRandom.substr(0, 4096), {}, {}, kRandom.substr(0, 4096)},
        ScanDigestRow{"Empty", "", {}, {}, ""},
        ScanDigestRow{"Range",
                      kStores,
                      Range(1000, 3000),
                      {},
                      kStores.substr(1000 * kSectorSize, 3000 * kSectorSize)},
        ScanDigestRow{
            "RangeToTheEnd", kRandom, Range(6000, 10000), {}, kRandom.substr(6000 * kSectorSize)},
        ScanDigestRow{"UnreadableSectorsAsZeros",
                      kStores,
                      {},
                      SectorsOf(2048 + 256, 128),
                      WithZeroedRead(kStores, 2048 + 256)}),
    test::RowLabel());

}  // namespace
}  // namespace quillon
