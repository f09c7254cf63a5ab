// What each operating system's back end provides to DataSource and to the enumeration. One
// implementation per system lives beside this header (linux_*.cpp); nothing else in the folder
// makes platform calls.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "source/data_source.h"

namespace quillon {

// A back end, or the reason why none could be opened (shown to the user).
struct BackendOpening {
  BackendOpening(std::unique_ptr<SourceBackend> opened = nullptr, std::string why = {},
                 std::string openedPath = {}, bool isRegularFile = false)
      : backend(std::move(opened)),
        error(std::move(why)),
        path(std::move(openedPath)),
        regularFile(isRegularFile) {}

  std::unique_ptr<SourceBackend> backend;
  std::string error;
  // The file system path opened, and whether it is a regular file (which may be a container
  // of a disk image, read through another back end by its path).
  std::string path;
  bool regularFile = false;
};

// The `index`-th whole disk of the machine, counted from 0.
[[nodiscard]] BackendOpening OpenWholeDiskBackend(unsigned index);
// A file or device path, or the short name of a device.
[[nodiscard]] BackendOpening OpenNamedBackend(std::string_view name);

// A logical drive worth offering: the name DataSource::Open takes and the text to show for it
// before its size is appended.
struct DriveCandidate {
  std::string name;
  std::string displayText;

  bool operator==(const DriveCandidate&) const = default;
};

// The logical drives of the machine, in the order they are offered.
std::vector<DriveCandidate> ListDriveCandidates();

}  // namespace quillon
