// The sectors a scan could not read. Their bytes are zeros in the carve buffers, and those zeros
// are no zeroed slack: a mail does not end at them, nor is any byte of it known there. The
// reading thread adds the sectors of a chunk before it hands the chunk out; the scan thread asks
// about bytes it holds.
//
// Along with them, the other side of the same question: which sectors read may hold a NUL, as
// the mark pass found them while the bytes were fresh. The search for the first NUL read from a
// multipart mail on, to the end of the bytes held, then reads only those sectors, instead of
// megabytes the scan has not come to yet once more. The same for the sectors that may hold a
// dash: the lines that begin with "--" (where a closing boundary line may stand) are looked for
// only there, and the base64 of an attachment, which holds none, is passed over.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "scan/mail_record.h"
#include "scan/source_bytes.h"
#include "source/sector_ranges.h"

namespace quillon {

class UnreadableSectors {
 public:
  // Ranges in ascending order, each behind those added before.
  void Add(const std::vector<SectorRange>& ranges);

  // Where the unreadable stretch that holds the absolute byte `at` ends (an absolute byte), or 0
  // when `at` was read.
  std::uint64_t StretchEndAt(std::uint64_t at) const;
  // Whether a byte of the absolute stretch [from, to) lies in an unreadable sector.
  bool Overlaps(std::uint64_t from, std::uint64_t to) const;

  std::vector<SectorRange> Ranges() const;

  // The sectors [firstSector, firstSector + count) are marked: `nulWords` holds a bit for each,
  // bit i % 64 of word i / 64, set where the sector may hold a NUL; `dashWords` likewise where it
  // may hold a '-'. Stretches come in source order, each right behind the one before; one that
  // is not forgets what was known before it.
  void AddMarkedSectors(std::uint64_t firstSector, std::uint64_t count,
                        const std::vector<std::uint64_t>& nulWords,
                        const std::vector<std::uint64_t>& dashWords);
  // The sectors in front of `sector` are no longer asked about.
  void ForgetNulSectorsBefore(std::uint64_t sector);
  // From absolute byte `at` on, before `end`: the first stretch [from, to) in which a NUL may
  // stand, as far as the sectors marked tell (where they do not, every byte may); {end, end} when
  // none may.
  struct ByteStretch {
    std::uint64_t from = 0;
    std::uint64_t to = 0;
  };
  ByteStretch MayHoldNul(std::uint64_t at, std::uint64_t end) const;
  // The same for a '-'.
  ByteStretch MayHoldDash(std::uint64_t at, std::uint64_t end) const;
  // Looking back from `end` to `from`: the last stretch [from, to) in which a NUL may stand, so
  // that a look back for the last NUL in front of a mail passes over megabytes of text without
  // reading them; {from, from} when none may.
  ByteStretch LastMayHoldNul(std::uint64_t from, std::uint64_t end) const;

 private:
  mutable std::mutex mutex_;
  std::vector<SectorRange> ranges_;
  // The sectors [nulKnownFrom_, nulKnownTo_) are marked; of them, those that may hold a NUL.
  std::uint64_t nulKnownFrom_ = 0;
  std::uint64_t nulKnownTo_ = 0;
  std::vector<SectorRange> nulRanges_;
  std::vector<SectorRange> dashRanges_;

  // MayHoldNul over one of the lists of marked sectors, under mutex_.
  ByteStretch FirstMarkedStretch(const std::vector<SectorRange>& marked, std::uint64_t at,
                                 std::uint64_t end) const;
};

// Where the unreadable stretch holding buffer index `index` ends (an absolute byte); 0 when the
// byte was read or the buffer knows of no unreadable sectors.
std::uint64_t UnreadableUntil(CarveBuffer buffer, std::size_t index);

// The first NUL in the buffer indexes [from, to) that was read from the source (not one of an
// unreadable sector); `to` when there is none. Reads only the sectors that may hold one, where
// the buffer's sectors tell (a buffer of the source's own positions).
std::size_t FindReadNul(CarveBuffer buffer, std::size_t from, std::size_t to);

// Marks the records whose text, as far as the scan followed it, holds an unreadable sector: from
// the mail's first line (or its recorded line) up to the end of the last line the scan took
// into it, and not beyond where the next mail begins.
void MarkDamagedMails(const std::vector<MailRecordPtr>& records,
                      const UnreadableSectors& unreadable);

}  // namespace quillon
