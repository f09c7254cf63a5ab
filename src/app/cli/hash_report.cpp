#include "app/cli/hash_report.h"

namespace quillon {

std::string HashReportText(const HashedScan& scan) {
  std::string text;
  const bool whole = scan.firstByte == 0 && scan.bytesDigested == scan.sourceBytes;
  const bool stopped = scan.firstByte + scan.bytesDigested < scan.rangeEnd;
  if (!whole) {
    text += "hashes of bytes " + std::to_string(scan.firstByte) + " to " +
            std::to_string(scan.firstByte + scan.bytesDigested) + " of " +
            std::to_string(scan.sourceBytes) +
            (stopped ? " only: the scan was stopped\n" : " only: the range scanned\n");
  }
  for (const DigestValue& digest : scan.digests) {
    text += std::string(DigestName(digest.algorithm)) + " " +
            (digest.hex.empty() ? "(not available in this build of libcrypto)" : digest.hex) + "\n";
  }
  for (const StoredHashCheck& check : CheckStoredHashes(scan.storedHashes, scan.digests)) {
    text += "stored " + check.stored.algorithm + " " + check.stored.hex + " ";
    if (!whole)
      text += "not checked: only part of the image was read\n";
    else if (check.result == HashCheck::Verified)
      text += "verified\n";
    else if (check.result == HashCheck::Mismatch)
      text += "MISMATCH\n";
    else
      text += "not checked: not computed\n";
  }
  return text;
}

}  // namespace quillon
