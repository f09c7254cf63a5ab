#include "scan/mail_record.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

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
  record.ReadBody([](const MailBody& facts) {
    EXPECT_TRUE(facts.bodyText.empty());
    EXPECT_TRUE(facts.contentText.empty());
    // Nor the room they took: a record of a million keeps no text buffer of its own.
    EXPECT_EQ(facts.bodyText.capacity(), std::string().capacity());
    EXPECT_EQ(facts.contentText.capacity(), std::u16string().capacity());
    EXPECT_TRUE(facts.closed);
  });
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

}  // namespace
}  // namespace quillon
