// The first copy of each distinct message a duplicate marker has met, kept small: nearly every
// found mail is one, so a million of them must cost little. A copy is listed under a 64-bit
// hash of its Message-ID and under one of its header values (sender, recipients, date,
// subject); a hash says only where to look: the caller checks the full values against the mail
// in the found list. Copies are numbered in the order they are kept, and listed under each key
// in that order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>
#include <vector>

#include "scan/merge/mail_print.h"

namespace quillon {

// The two keys a first copy may be listed under.
enum class CopyKey : std::uint8_t { kMessageId = 0, kValues = 1 };

// A hash of header values, one after the other (each told apart from the next).
std::uint64_t KeyOf(std::initializer_list<std::string_view> values);

struct FirstCopy {
  MailPrint print;
  std::uint64_t textStart = 0;   // where its text was read from
  std::uint64_t storeBlock = 0;  // the first block of its store chain; 0 when in none
  std::uint64_t keys[2] = {};    // per CopyKey, where it is listed under that key
  std::uint32_t index = 0;       // in the found list
  std::uint32_t next[2] = {};    // per CopyKey, the next copy listed under the same hash
  bool hasId : 1 = false;        // it was read with a Message-ID
  bool inside : 1 = false;       // the scan took it for a part of another mail
  bool inMailbox : 1 = false;    // a mailbox's separator line stands in front of it
  // Its From line lies in the source at `textStart` + `print.aboveLength`: its header block was
  // in hand and read without block headers left out in front of it.
  bool fromLineKnown : 1 = false;
  // Its print was read in hand up to the bound it was read to, with no block header stepped over:
  // the printed bytes hold nothing but text, which a text read again need not look through.
  bool printedTextOnly : 1 = false;
  // Most mails are never compared with another, so a print is made only when a comparison needs
  // it. Until then (unprintedLength != 0) `print` holds nothing but `open`, which says whether the
  // scan saw the mail end; the text is the `unprintedLength` bytes from `textStart` on, which the
  // scan read whole, and the scan followed the mail `boundsLength` bytes from there.
  std::uint32_t unprintedLength = 0;
  std::uint32_t boundsLength = 0;

  // Where its From line lies in the source; 0 when not told.
  std::uint64_t FromLine() const { return fromLineKnown ? textStart + print.aboveLength : 0; }
};

class FirstCopies {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  // The number of the first copy listed under `hash` for `key`, kNone when there is none; the
  // next one under the same hash is `At(number).next[key]`.
  std::uint32_t FirstUnder(CopyKey key, std::uint64_t hash) const;

  // Keeps `copy` and returns its number; it is listed under no key yet.
  std::uint32_t Keep(const FirstCopy& copy);
  // Lists the kept copy `number` under its hash for `key`, behind those listed there before.
  void List(std::uint32_t number, CopyKey key);

  const FirstCopy& At(std::uint32_t number) const {
    return blocks_[number / kBlockCopies][number % kBlockCopies];
  }
  // The kept copy, to make the print it was kept without.
  FirstCopy& Mutable(std::uint32_t number) {
    return blocks_[number / kBlockCopies][number % kBlockCopies];
  }
  std::size_t Count() const { return count_; }
  // The heap the copies and their key tables hold.
  std::size_t HeldBytes() const;

 private:
  // Copies are kept in blocks that never move, so that a growing store never holds them twice.
  static constexpr std::uint32_t kBlockCopies = 1024;
  // The slot of `table` that holds the first copy under `hash`, or the empty slot where it goes.
  std::size_t SlotOf(CopyKey key, std::uint64_t hash) const;
  void Grow(CopyKey key);

  std::vector<std::unique_ptr<FirstCopy[]>> blocks_;
  std::uint32_t count_ = 0;
  // Per key, an open-addressing table from a hash to the number of the first copy listed under
  // it (kNone in an empty slot); a power of two in size, at most three quarters full. Each slot
  // keeps 32 bits of its hash too, so that a look passes over the slots of other hashes without
  // reading their copies, which lie anywhere in memory.
  struct Slot {
    std::uint32_t number = kNone;
    std::uint32_t tag = 0;
  };
  std::vector<Slot> tables_[2];
  std::size_t listed_[2] = {};  // the hashes in each table
};

}  // namespace quillon
