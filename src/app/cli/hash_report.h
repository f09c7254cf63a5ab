// What `--hash` prints on stderr once the scan is done: the digests of the bytes read
// ("sha256 <hex>", "md5 <hex>") and, for an image that stored hashes of its media, whether
// they held ("stored md5 <hex> verified" or "... MISMATCH").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scan/read/source_digest.h"
#include "scan/scan_driver.h"

namespace quillon {

struct HashedScan {
  std::vector<DigestValue> digests;
  std::uint64_t firstByte = 0;      // where the digested bytes begin in the source
  std::uint64_t bytesDigested = 0;  // how many there are
  std::uint64_t rangeEnd = 0;       // where the range asked for ends (a stop ends it early)
  std::uint64_t sourceBytes = 0;
  std::vector<StoredHash> storedHashes;
};

std::string HashReportText(const HashedScan& scan);

}  // namespace quillon
