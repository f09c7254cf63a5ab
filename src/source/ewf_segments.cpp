#include "source/ewf_segments.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace quillon {

namespace {

// A first-version segment starts with an 8-byte signature, a byte, a 16-bit segment number and
// 16 bits of zeros; its sections follow, each behind a 76-byte descriptor: a 16-byte type
// name, the 64-bit offset of the next section's descriptor, the 64-bit size of the section,
// 40 bytes of padding and a checksum (numbers little-endian).
constexpr std::uint64_t kFirstSection = 13;
constexpr std::size_t kDescriptorSize = 76;
// A segment of the largest size holds far fewer sections; the limit only stops a looping chain.
constexpr int kMaximumSections = 1 << 20;

std::uint64_t LittleEndian64(const std::uint8_t* bytes) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | bytes[i];
  return value;
}

std::string FileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Section types are short lower-case names ("header2", "volume", "sectors", "table", "done").
bool IsSectionType(std::string_view type) {
  if (type.empty()) return false;
  for (char c : type)
    if (!(c >= 'a' && c <= 'z') && !IsDigit(c)) return false;
  return true;
}

// One step of a letter that counts from A to Z (or a to z); true when it wrapped around.
bool StepLetter(char& letter) {
  if (letter == 'Z' || letter == 'z') {
    letter = letter == 'Z' ? 'A' : 'a';
    return true;
  }
  ++letter;
  return false;
}

}  // namespace

SegmentWalk WalkEwfSegment(const SegmentReader& read, std::uint64_t fileSize) {
  std::uint64_t at = kFirstSection;
  for (int i = 0; i < kMaximumSections; ++i) {
    if (at + kDescriptorSize > fileSize) return {SegmentEnd::Truncated, at + kDescriptorSize};
    std::array<std::uint8_t, kDescriptorSize> descriptor{};
    if (read(at, descriptor.size(), descriptor.data()) != descriptor.size())
      return {SegmentEnd::Truncated, at + kDescriptorSize};
    const std::string_view type(reinterpret_cast<const char*>(descriptor.data()),
                                strnlen(reinterpret_cast<const char*>(descriptor.data()), 16));
    if (!IsSectionType(type)) return {SegmentEnd::Damaged, at};
    if (type == "done") return {SegmentEnd::Done, at + kDescriptorSize};
    if (type == "next") return {SegmentEnd::Next, at + kDescriptorSize};
    const std::uint64_t next = LittleEndian64(descriptor.data() + 16);
    const std::uint64_t size = LittleEndian64(descriptor.data() + 24);
    if (size > fileSize || at > fileSize - size) return {SegmentEnd::Truncated, at + size};
    if (next > fileSize) return {SegmentEnd::Truncated, next};
    if (next <= at) return {SegmentEnd::Unknown, 0};
    at = next;
  }
  return {SegmentEnd::Unknown, 0};
}

std::string NextEwfSegmentName(std::string_view name) {
  std::string next(name);
  const std::size_t dot = next.rfind('.');
  if (dot == std::string::npos || next.size() - dot != 4) return next;
  char* extension = next.data() + dot + 1;
  if (IsDigit(extension[1]) && IsDigit(extension[2])) {
    const int number = (extension[1] - '0') * 10 + (extension[2] - '0');
    if (number < 99) {
      extension[1] = static_cast<char>('0' + (number + 1) / 10);
      extension[2] = static_cast<char>('0' + (number + 1) % 10);
    } else {
      // After E99 the two places count in letters: EAA, EAB, ... EZZ, FAA.
      const char a = extension[0] >= 'a' ? 'a' : 'A';
      extension[1] = extension[2] = a;
    }
    return next;
  }
  for (int place = 2; place >= 0 && StepLetter(extension[place]); --place) {
  }
  return next;
}

std::string DiagnoseEwfSegments(const std::vector<std::string>& paths) {
  for (std::size_t i = 0; i < paths.size(); ++i) {
    std::ifstream file(paths[i], std::ios::binary);
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(paths[i], error);
    if (!file || error) return "segment " + FileName(paths[i]) + " cannot be read";
    const SegmentReader read = [&file](std::uint64_t offset, std::size_t count, void* out) {
      file.clear();
      file.seekg(static_cast<std::streamoff>(offset));
      file.read(static_cast<char*>(out), static_cast<std::streamsize>(count));
      return static_cast<std::size_t>(file.gcount());
    };
    const SegmentWalk walk = WalkEwfSegment(read, size);
    if (walk.end == SegmentEnd::Damaged)
      return "segment " + FileName(paths[i]) +
             " is damaged: no section where one must stand, at "
             "byte " +
             std::to_string(walk.neededBytes);
    if (walk.end == SegmentEnd::Truncated)
      return "segment " + FileName(paths[i]) + " is truncated: it has " + std::to_string(size) +
             " bytes, its sections reach to byte " + std::to_string(walk.neededBytes);
    const bool last = i + 1 == paths.size();
    if (walk.end == SegmentEnd::Next && last)
      return "segment " + NextEwfSegmentName(FileName(paths[i])) + " is missing (" +
             FileName(paths[i]) + " says another segment follows)";
    if (walk.end == SegmentEnd::Done && !last)
      return "segment " + FileName(paths[i]) + " ends the image, but " + FileName(paths[i + 1]) +
             " follows it";
  }
  return {};
}

}  // namespace quillon
