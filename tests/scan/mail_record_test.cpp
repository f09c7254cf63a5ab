#include "scan/mail_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "scan/found_mails.h"
#include "support/paths.h"

namespace quillon {
namespace {

MailBody BodyWith(std::string bodyText, std::u16string contentText) {
  MailBody body;
  body.bodyText = std::move(bodyText);
  body.contentText = std::move(contentText);
  body.closed = true;
  body.textEnd = 4242;
  body.parts.push_back(PartEntry{"a.pdf", "application/pdf", u"a.pdf", "base64", 99});
  return body;
}

enum class Store { None, Spilling, InMemory };
enum class Order { PublishThenKeep, KeepThenPublish, PublishTwice };

struct RecordRow {
  const char* label;
  Store store;
  Order order;
  std::string bodyText;
  std::u16string contentText;
};

class MailRecordTextTest : public testing::TestWithParam<RecordRow> {};

// Whatever keeps a record's texts, and whenever the store comes, every reader sees the texts
// last published, and the facts beside them stay in the record.
TEST_P(MailRecordTextTest, ReadersSeeTheLastPublishedTexts) {
  const RecordRow& row = GetParam();
  test::TemporaryDirectory directory;
  std::shared_ptr<MailTextStore> store;
  if (row.store != Store::None)
    store = std::make_shared<MailTextStore>(row.store == Store::Spilling ? directory.path()
                                                                         : std::filesystem::path());
  MailRecord record;
  switch (row.order) {
    case Order::PublishThenKeep:
      record.PublishBody(BodyWith(row.bodyText, row.contentText));
      if (store) record.KeepTextIn(store);
      break;
    case Order::KeepThenPublish:
      if (store) record.KeepTextIn(store);
      record.PublishBody(BodyWith(row.bodyText, row.contentText));
      break;
    case Order::PublishTwice:
      if (store) record.KeepTextIn(store);
      record.PublishBody(BodyWith("an earlier, longer text of the body", u"earlier text"));
      record.PublishBody(BodyWith(row.bodyText, row.contentText));
      break;
  }

  const MailBody body = record.Body();
  EXPECT_EQ(body.bodyText, row.bodyText);
  EXPECT_EQ(body.contentText, row.contentText);
  EXPECT_EQ(body.textEnd, 4242u);
  ASSERT_EQ(body.parts.size(), 1u);
  EXPECT_EQ(record.BodyText(), row.bodyText);
  std::u16string content = u"what the last mail said";
  record.ReadContentText(content);
  EXPECT_EQ(content, row.contentText);
  record.ReadBody([](const BodyFacts& facts) { EXPECT_TRUE(facts.closed); });
  if (store) {
    EXPECT_EQ(store->Spilling(), row.store == Store::Spilling);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MailRecordTextTest,
    testing::Values(
        RecordRow{"NoStore", Store::None, Order::PublishThenKeep, "Hello\r\n", u"Hello\r\n"},
        RecordRow{"SpillAfterPublish", Store::Spilling, Order::PublishThenKeep, "Héllo", u"Héllo"},
        RecordRow{"SpillBeforePublish", Store::Spilling, Order::KeepThenPublish, "body",
                  u"content"},
        RecordRow{"SpillRepublished", Store::Spilling, Order::PublishTwice, "short", u"s"},
        RecordRow{"MemoryRepublished", Store::InMemory, Order::PublishTwice, "short", u"s"},
        RecordRow{"SpillEmptyTexts", Store::Spilling, Order::KeepThenPublish, "", u""},
        RecordRow{"NoStoreEmptyAfterText", Store::None, Order::PublishTwice, "", u""},
        RecordRow{"SpillLongest", Store::Spilling, Order::PublishThenKeep,
                  std::string(kMaxBodyText, 'q'), std::u16string(kMaxBodyText, u'й')}),
    [](const testing::TestParamInfo<RecordRow>& row) { return row.param.label; });

// The list hands one store to all its records, and a new scan a new one, while records a
// reader still holds from the last scan keep their texts.
TEST(FoundMailsTextTest, RecordsOfAnEarlierScanKeepTheirTexts) {
  test::TemporaryDirectory directory;
  FoundMails mails(directory.path());
  auto first = std::make_shared<MailRecord>();
  first->PublishBody(BodyWith("first scan", u"first scan"));
  mails.Add(first);
  mails.Clear();
  auto second = std::make_shared<MailRecord>();
  mails.Add(second);
  second->PublishBody(BodyWith("second scan", u"second scan"));
  EXPECT_EQ(first->BodyText(), "first scan");
  EXPECT_EQ(second->BodyText(), "second scan");
  EXPECT_EQ(mails.Count(), 1u);
}

// Blocks this thread asked the heap for (the replaceable operator new below counts them; the
// allocator's own figures miss blocks it hands out from its per-thread caches).
thread_local std::uint64_t allocations = 0;

enum class Field { From, To, Subject };

struct DecodedRow {
  const char* label;
  Field field;
  std::string raw;
  std::u16string decoded;
  bool keptApart;  // the decoded text differs from the raw value widened: it needs room
};

class MailRecordDecodedTest : public testing::TestWithParam<DecodedRow> {
 protected:
  static void Set(MailRecord& record, Field field, std::u16string text) {
    if (field == Field::From) record.SetFromText(std::move(text));
    if (field == Field::To) record.SetToText(std::move(text));
    if (field == Field::Subject) record.SetSubjectText(std::move(text));
  }
  static std::u16string Get(const MailRecord& record, Field field) {
    if (field == Field::From) return record.FromText();
    if (field == Field::To) return record.ToText();
    return record.SubjectText();
  }
  static void SetRaw(MailRecord& record, Field field, const std::string& raw) {
    if (field == Field::From) record.from = raw;
    if (field == Field::To) record.to = raw;
    if (field == Field::Subject) record.subject = raw;
  }
};

// A decoded text reads back as it was set, whether it was kept or is the raw value widened, and
// the other two texts stay as they were.
TEST_P(MailRecordDecodedTest, ReadsBackAsSet) {
  const DecodedRow& row = GetParam();
  MailRecord record;
  record.from = "From <from@example.org>";
  record.to = "=?utf-8?q?To=C3=A9?= <to@example.org>";
  record.subject = "Subject of the mail";
  record.SetFromText(u"From <from@example.org>");
  record.SetToText(u"Toé <to@example.org>");
  record.SetSubjectText(u"Subject of the mail");
  SetRaw(record, row.field, row.raw);
  Set(record, row.field, row.decoded);
  EXPECT_EQ(Get(record, row.field), row.decoded);
  if (row.field != Field::From) {
    EXPECT_EQ(record.FromText(), u"From <from@example.org>");
  }
  if (row.field != Field::To) {
    EXPECT_EQ(record.ToText(), u"Toé <to@example.org>");
  }
  if (row.field != Field::Subject) {
    EXPECT_EQ(record.SubjectText(), u"Subject of the mail");
  }
}

// Most mails write sender, recipients and subject in plain ASCII: their decoded texts must cost
// no room of their own, or a million found mails carry each of them twice.
TEST_P(MailRecordDecodedTest, TakesRoomOnlyWhenDecodedDiffers) {
  const DecodedRow& row = GetParam();
  MailRecord record;
  SetRaw(record, row.field, row.raw);
  std::u16string decoded = row.decoded;
  const std::uint64_t before = allocations;
  Set(record, row.field, std::move(decoded));
  const std::uint64_t made = allocations - before;
  if (row.keptApart) {
    EXPECT_GT(made, 0u);
  } else {
    EXPECT_EQ(made, 0u) << "a decoded text equal to its raw value was kept apart";
  }
  EXPECT_EQ(Get(record, row.field), row.decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MailRecordDecodedTest,
    testing::Values(
        DecodedRow{"AsciiSender", Field::From, "Alice Example <alice@example.org>",
                   u"Alice Example <alice@example.org>", false},
        DecodedRow{"AsciiRecipients", Field::To, "bob@example.com, carol@example.com",
                   u"bob@example.com, carol@example.com", false},
        DecodedRow{"AsciiSubject", Field::Subject, "Minutes of the harbour board meeting",
                   u"Minutes of the harbour board meeting", false},
        DecodedRow{"EightBitReadAsLatin1", Field::Subject,
                   "Gr\xFC\xDF"
                   "e aus K\xF6ln",
                   u"Grüße aus Köln", false},
        DecodedRow{"EightBitReadAsAnotherCodePage", Field::Subject, "\x80 20 for the tickets",
                   u"€ 20 for the tickets", true},
        DecodedRow{"EncodedWord", Field::Subject, "=?utf-8?b?0JrQsNC30LDQvdGM?=", u"Казань", true},
        DecodedRow{"NoSubjectWording", Field::Subject, "", u"( No Subject )", true},
        DecodedRow{"DecodedLongerThanRaw", Field::From, "Ann <ann@example.org>",
                   u"Ann <ann@example.org> (Sales)", true},
        DecodedRow{"DecodedAPrefixOfRaw", Field::To, "dan@example.org, eve@example.org",
                   u"dan@example.org", true},
        DecodedRow{"BothEmpty", Field::To, "", u"", false}),
    [](const testing::TestParamInfo<DecodedRow>& row) { return row.param.label; });

// Setting a text equal to its raw value after a differing one replaces the kept one.
TEST(MailRecordDecodedTextTest, ARawEqualTextReplacesAKeptOne) {
  MailRecord record;
  record.subject = "plain words";
  record.SetSubjectText(u"first a decoded text that differs");
  record.SetSubjectText(u"plain words");
  EXPECT_EQ(record.SubjectText(), u"plain words");
}

// Every record of one scan names the same source: the list keeps that name once, and a new
// scan of another source names its own.
TEST(FoundMailsSourceNameTest, RecordsOfAScanShareOneName) {
  FoundMails mails(std::filesystem::path{});
  std::vector<MailRecordPtr> records;
  for (const char* name : {"/dev/sdb", "/dev/sdb", "/dev/sdb"}) {
    records.push_back(std::make_shared<MailRecord>());
    records.back()->SetSourceName(std::string_view(name));
    mails.Add(records.back());
  }
  EXPECT_EQ(&records[0]->SourceName(), &records[1]->SourceName());
  EXPECT_EQ(&records[0]->SourceName(), &records[2]->SourceName());
  EXPECT_EQ(records[2]->SourceName(), "/dev/sdb");
  mails.Clear();
  auto next = std::make_shared<MailRecord>();
  next->SetSourceName(std::string_view("/home/ann/disk.img"));
  mails.Add(next);
  EXPECT_EQ(next->SourceName(), "/home/ann/disk.img");
  EXPECT_EQ(records[0]->SourceName(), "/dev/sdb") << "a held record keeps its own source's name";
}

// Body parts gathered one by one keep no room beyond their values once published.
TEST(MailRecordRoomTest, PublishedPartsHoldNoSpareRoom) {
  MailBody body;
  body.parts.reserve(64);
  for (int i = 0; i < 3; ++i) {
    PartEntry part;
    part.nameText.reserve(256);
    part.name = "scan-" + std::to_string(i) + "-of-the-harbour-plans.pdf";
    part.nameText = u"scan-of-the-harbour-plans.pdf";
    body.parts.push_back(std::move(part));
  }
  MailRecord record;
  record.PublishBody(std::move(body));
  record.ReadBody([](const BodyFacts& kept) {
    EXPECT_EQ(kept.parts.capacity(), kept.parts.size());
    for (const PartEntry& part : kept.parts) EXPECT_LT(part.nameText.capacity(), 64u);
  });
}

}  // namespace
}  // namespace quillon

// The replacements allocate with malloc and free with free; the compiler, seeing free() where it
// inlined a delete, cannot tell that they match. Every plain form is replaced, the nothrow ones
// included: a runtime that checks pairs (the address sanitizer) would otherwise see its own
// nothrow new freed by this delete, as std::stable_sort's scratch buffer is.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++quillon::allocations;
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++quillon::allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept {
  return operator new(size, nothrow);
}
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete[](void* block) noexcept {
  std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
  std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
  std::free(block);
}
