#include "source/image_format.h"

#include <algorithm>
#include <string_view>

namespace quillon {

namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::string_view signature) {
  return bytes.size() >= signature.size() &&
         std::equal(signature.begin(), signature.end(), bytes.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

using namespace std::string_view_literals;

// The segment header of each version; a logical evidence file ("LVF") holds files, not a
// disk, and is scanned raw.
constexpr std::string_view kEwfSignature = "EVF\x09\x0d\x0a\xff\x00"sv;
constexpr std::string_view kEwf2Signature = "EVF2\x0d\x0a\x81\x00"sv;
// A sparse extent with its descriptor inside ("KDMV"), an older server sparse extent
// ("COWD"), or a descriptor file of its own.
constexpr std::string_view kVmdkSparseSignature = "KDMV"sv;
constexpr std::string_view kVmdkCowdSignature = "COWD"sv;
constexpr std::string_view kVmdkDescriptorSignature = "# Disk DescriptorFile"sv;
// A VHD's footer ends a fixed disk; a dynamic disk also starts with a copy of it.
constexpr std::string_view kVhdSignature = "conectix"sv;
constexpr std::string_view kVhdxSignature = "vhdxfile"sv;

// A fixed disk's footer is its image's last sector. A raw image may end in anything, so the
// footer's checksum (the ones' complement of the sum of its bytes, the checksum field left out)
// must hold as well before the file is taken for a VHD.
bool IsVhdFooter(std::span<const std::uint8_t> sector) {
  if (sector.size() != 512 || !StartsWith(sector, kVhdSignature)) return false;
  constexpr std::size_t kChecksumAt = 64;
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < sector.size(); ++i)
    if (i < kChecksumAt || i >= kChecksumAt + 4) sum += sector[i];
  const std::uint32_t stored =
      std::uint32_t{sector[kChecksumAt]} << 24 | std::uint32_t{sector[kChecksumAt + 1]} << 16 |
      std::uint32_t{sector[kChecksumAt + 2]} << 8 | std::uint32_t{sector[kChecksumAt + 3]};
  return stored == ~sum;
}

}  // namespace

SourceContainer DetectImageFormat(std::span<const std::uint8_t> head,
                                  std::span<const std::uint8_t> tail) {
  if (StartsWith(head, kEwfSignature)) return SourceContainer::Ewf;
  if (StartsWith(head, kEwf2Signature)) return SourceContainer::Ewf2;
  if (StartsWith(head, kVmdkSparseSignature) || StartsWith(head, kVmdkCowdSignature) ||
      StartsWith(head, kVmdkDescriptorSignature))
    return SourceContainer::Vmdk;
  if (StartsWith(head, kVhdxSignature)) return SourceContainer::Vhdx;
  if (StartsWith(head, kVhdSignature)) return SourceContainer::Vhd;
  if (IsVhdFooter(tail)) return SourceContainer::Vhd;
  return SourceContainer::None;
}

}  // namespace quillon
