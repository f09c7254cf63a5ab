#if defined(__linux__)

#include "source/linux_drive_listing.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "source/linux_disks.h"

namespace quillon {

namespace {

namespace fs = std::filesystem;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr bool IsOctalDigit(char c) {
  return c >= '0' && c <= '7';
}

std::uint64_t ReadNumberFile(const fs::path& path) {
  std::ifstream in(path);
  std::uint64_t number = 0;
  in >> number;
  return in ? number : 0;
}

// The device a /dev/disk/by-* link names: "../../sda1" -> "sda1".
std::string LinkedDeviceName(const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  return error ? std::string() : target.filename().string();
}

// Device name -> volume label, from the links of by-label.
std::map<std::string, std::string> ReadVolumeLabels(const fs::path& byLabel) {
  std::map<std::string, std::string> labels;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(byLabel, error)) {
    const std::string device = LinkedDeviceName(entry.path());
    if (!device.empty()) labels.emplace(device, UnescapeUdevName(entry.path().filename().string()));
  }
  return labels;
}

// Devices that udev found a file system on: only those carry a UUID or a label.
std::set<std::string> DevicesWithFileSystem(const fs::path& devDisk) {
  std::set<std::string> devices;
  for (const char* folder : {"by-uuid", "by-label"}) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(devDisk / folder, error)) {
      std::string device = LinkedDeviceName(entry.path());
      if (!device.empty()) devices.insert(std::move(device));
    }
  }
  return devices;
}

// Device name -> its first mount point, for file systems mounted straight from /dev/<name>.
std::map<std::string, std::string> ReadMountPoints(const fs::path& mounts) {
  std::map<std::string, std::string> mountPoints;
  std::ifstream in(mounts);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string source;
    std::string mountPoint;
    if (!(fields >> source >> mountPoint)) continue;
    constexpr std::string_view kDevPrefix = "/dev/";
    if (!source.starts_with(kDevPrefix)) continue;
    const std::string device = source.substr(kDevPrefix.size());
    if (device.find('/') != std::string::npos) continue;
    mountPoints.emplace(device, UnescapeMountField(mountPoint));
  }
  return mountPoints;
}

struct FoundDrive {
  std::string name;
  std::string disk;
  std::uint64_t partition = 0;  // 0 for a file system on the whole disk
};

// The kernel shows a DOS extended partition as a stub of one or two sectors; it holds the
// other partitions' table, not a file system, and is not worth offering.
bool IsExtendedPartitionStub(const fs::path& partitionDir) {
  std::error_code error;
  if (!fs::exists(partitionDir / "size", error)) return false;
  return ReadNumberFile(partitionDir / "size") <= 2;
}

}  // namespace

std::string UnescapeUdevName(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      const int high = HexValue(text[i + 2]);
      const int low = HexValue(text[i + 3]);
      if (high >= 0 && low >= 0) {
        result.push_back(static_cast<char>(high * 16 + low));
        i += 3;
        continue;
      }
    }
    result.push_back(text[i]);
  }
  return result;
}

std::string UnescapeMountField(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3' &&
        IsOctalDigit(text[i + 2]) && IsOctalDigit(text[i + 3])) {
      result.push_back(static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                         (text[i + 3] - '0')));
      i += 3;
      continue;
    }
    result.push_back(text[i]);
  }
  return result;
}

std::vector<DriveCandidate> ListDriveCandidates(const LinuxSystemRoots& roots) {
  std::vector<FoundDrive> drives;
  std::vector<std::string> wholeDisks;
  std::set<std::string> partitionedDisks;

  std::error_code error;
  for (const auto& entry : fs::directory_iterator(roots.sysClassBlock, error)) {
    const std::string name = entry.path().filename().string();
    std::error_code probeError;
    if (!fs::exists(entry.path() / "partition", probeError)) {
      if (IsWholeDiskName(name)) wholeDisks.push_back(name);
      continue;
    }
    // Each entry links into the device tree, where a partition sits inside its disk's folder.
    const fs::path device = fs::canonical(entry.path(), probeError);
    if (probeError) continue;
    const std::string disk = device.parent_path().filename().string();
    if (!IsWholeDiskName(disk)) continue;
    partitionedDisks.insert(disk);
    if (IsExtendedPartitionStub(device)) continue;
    drives.push_back({name, disk, ReadNumberFile(device / "partition")});
  }

  const std::set<std::string> fileSystems = DevicesWithFileSystem(roots.devDisk);
  for (const std::string& disk : wholeDisks) {
    if (!partitionedDisks.contains(disk) && fileSystems.contains(disk))
      drives.push_back({disk, disk, 0});
  }

  std::sort(drives.begin(), drives.end(), [](const FoundDrive& left, const FoundDrive& right) {
    if (left.disk != right.disk) return DiskNameLess(left.disk, right.disk);
    if (left.partition != right.partition) return left.partition < right.partition;
    return left.name < right.name;
  });

  const auto labels = ReadVolumeLabels(roots.devDisk / "by-label");
  const auto mountPoints = ReadMountPoints(roots.mounts);
  std::vector<DriveCandidate> candidates;
  candidates.reserve(drives.size());
  for (const FoundDrive& drive : drives) {
    std::string displayText = drive.name;
    std::string label;
    if (const auto found = labels.find(drive.name); found != labels.end()) label = found->second;
    if (label.empty()) {
      if (const auto found = mountPoints.find(drive.name); found != mountPoints.end())
        label = found->second;
    }
    if (!label.empty()) displayText += "  [" + label + "]";
    candidates.push_back({drive.name, std::move(displayText)});
  }
  return candidates;
}

std::vector<DriveCandidate> ListDriveCandidates() {
  return ListDriveCandidates(LinuxSystemRoots{});
}

}  // namespace quillon

#endif  // __linux__
