#include "source/virtual_disk_source.h"

#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

#include "source/image_libraries.h"
#include "source/library_error.h"

namespace quillon {

namespace {

// Both libraries' error types are the same opaque type underneath, so the two cannot be
// overloads of one name.
std::string TakeVmdkError(const VmdkLibrary& vmdk, libvmdk_error_t*& error) {
  return TakeLibraryError(error, vmdk.error_backtrace_sprint, vmdk.error_free);
}

std::string TakeVhdiError(const VhdiLibrary& vhdi, libvhdi_error_t*& error) {
  return TakeLibraryError(error, vhdi.error_backtrace_sprint, vhdi.error_free);
}

// What tells the two libraries apart, so that one back end serves both: a handle type and its
// calls, each of the same shape.
struct VmdkCalls {
  const VmdkLibrary& vmdk;
  using Handle = libvmdk_handle_t;
  using Error = libvmdk_error_t;
  ssize_t Read(Handle* handle, void* buffer, std::size_t count, std::uint64_t offset,
               Error** error) const {
    return vmdk.handle_read_buffer_at_offset(handle, buffer, count, static_cast<off64_t>(offset),
                                             error);
  }
  std::string TakeError(Error*& error) const { return TakeVmdkError(vmdk, error); }
  void Free(Handle*& handle) const {
    vmdk.handle_close(handle, nullptr);
    vmdk.handle_free(&handle, nullptr);
  }
};

struct VhdiCalls {
  const VhdiLibrary& vhdi;
  using Handle = libvhdi_file_t;
  using Error = libvhdi_error_t;
  ssize_t Read(Handle* handle, void* buffer, std::size_t count, std::uint64_t offset,
               Error** error) const {
    return vhdi.file_read_buffer_at_offset(handle, buffer, count, static_cast<off64_t>(offset),
                                           error);
  }
  std::string TakeError(Error*& error) const { return TakeVhdiError(vhdi, error); }
  void Free(Handle*& handle) const {
    vhdi.file_close(handle, nullptr);
    vhdi.file_free(&handle, nullptr);
  }
};

template <typename Calls>
class VirtualDiskBackend final : public SourceBackend {
 public:
  VirtualDiskBackend(Calls calls, typename Calls::Handle* handle, std::uint64_t sizeBytes,
                     SourceFacts facts)
      : calls_(calls), handle_(handle), sizeBytes_(sizeBytes), facts_(std::move(facts)) {}
  ~VirtualDiskBackend() override { calls_.Free(handle_); }
  VirtualDiskBackend(const VirtualDiskBackend&) = delete;
  VirtualDiskBackend& operator=(const VirtualDiskBackend&) = delete;

  std::uint64_t SizeBytes() const override { return sizeBytes_; }
  SourceFacts Facts() const override { return facts_; }

  std::int64_t ReadAt(void* buffer, std::size_t count, std::uint64_t offset) override {
    if (count == 0 || offset >= sizeBytes_) return 0;
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, sizeBytes_ - offset));
    // The handle keeps a position and caches: one reader at a time.
    const std::lock_guard lock(mutex_);
    typename Calls::Error* error = nullptr;
    const ssize_t arrived = calls_.Read(handle_, buffer, count, offset, &error);
    if (arrived < 0) {
      calls_.TakeError(error);
      return -1;
    }
    return arrived;
  }

 private:
  Calls calls_;
  typename Calls::Handle* handle_;
  std::uint64_t sizeBytes_;
  SourceFacts facts_;
  std::mutex mutex_;
};

bool FileExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

// The file of every extent the descriptor names that is not there; they are looked for beside
// the descriptor, as the library looks for them.
std::string MissingExtent(const VmdkLibrary& vmdk, libvmdk_handle_t* handle,
                          const std::filesystem::path& folder) {
  libvmdk_error_t* error = nullptr;
  int extents = 0;
  if (vmdk.handle_get_number_of_extents(handle, &extents, &error) != 1) {
    TakeVmdkError(vmdk, error);
    return {};
  }
  for (int i = 0; i < extents; ++i) {
    libvmdk_extent_descriptor_t* extent = nullptr;
    if (vmdk.handle_get_extent_descriptor(handle, i, &extent, &error) != 1) {
      TakeVmdkError(vmdk, error);
      continue;
    }
    int type = 0;
    char name[4096] = {};
    const bool named = vmdk.extent_descriptor_get_type(extent, &type, &error) == 1 &&
                       type != LIBVMDK_EXTENT_TYPE_ZERO &&
                       vmdk.extent_descriptor_get_utf8_filename(
                           extent, reinterpret_cast<std::uint8_t*>(name), sizeof name, &error) == 1;
    if (error) TakeVmdkError(vmdk, error);
    vmdk.extent_descriptor_free(&extent, nullptr);
    if (!named) continue;
    const std::filesystem::path file(name);
    const std::filesystem::path where = file.is_absolute() ? file : folder / file.filename();
    if (!FileExists(where))
      return "its descriptor names the extent \"" + std::string(name) +
             "\", which is missing (no file " + where.string() + ")";
  }
  return {};
}

std::filesystem::path FolderOf(const std::string& path) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  return folder.empty() ? std::filesystem::path(".") : folder;
}

constexpr std::uint32_t kNoParent = 0xFFFFFFFF;

}  // namespace

BackendOpening OpenVmdkImage(const std::string& path) {
  std::string unloaded;
  const VmdkLibrary* vmdk = LoadVmdkLibrary(unloaded);
  if (!vmdk) return {nullptr, unloaded};
  const VmdkCalls calls{*vmdk};
  libvmdk_error_t* error = nullptr;
  libvmdk_handle_t* handle = nullptr;
  if (vmdk->handle_initialize(&handle, &error) != 1) return {nullptr, TakeVmdkError(*vmdk, error)};
  auto fail = [&handle, &calls](std::string message) {
    calls.Free(handle);
    return BackendOpening{nullptr, std::move(message)};
  };
  if (vmdk->handle_open(handle, path.c_str(), LIBVMDK_OPEN_READ, &error) != 1)
    return fail("the VMDK cannot be read: " + TakeVmdkError(*vmdk, error));

  std::uint32_t parent = kNoParent;
  if (vmdk->handle_get_parent_content_identifier(handle, &parent, &error) == 1 &&
      parent != kNoParent) {
    char parentName[4096] = {};
    vmdk->handle_get_utf8_parent_filename(handle, reinterpret_cast<std::uint8_t*>(parentName),
                                          sizeof parentName, nullptr);
    return fail("the VMDK holds only the changes made to its parent disk" +
                std::string(*parentName ? " \"" + std::string(parentName) + "\"" : "") +
                "; scan the parent disk, or a copy with the changes merged in");
  }
  if (error) TakeVmdkError(*vmdk, error);

  const std::string missing = MissingExtent(*vmdk, handle, FolderOf(path));
  if (!missing.empty()) return fail(missing);
  if (vmdk->handle_open_extent_data_files(handle, &error) != 1)
    return fail("the VMDK's extent files cannot be read: " + TakeVmdkError(*vmdk, error));

  size64_t size = 0;
  if (vmdk->handle_get_media_size(handle, &size, &error) != 1)
    return fail("the VMDK's size cannot be read: " + TakeVmdkError(*vmdk, error));
  int extents = 1;
  vmdk->handle_get_number_of_extents(handle, &extents, nullptr);
  SourceFacts facts;
  facts.container = SourceContainer::Vmdk;
  facts.files = static_cast<std::size_t>(std::max(extents, 1));
  return {std::make_unique<VirtualDiskBackend<VmdkCalls>>(calls, handle, size, std::move(facts)),
          {}};
}

BackendOpening OpenVhdImage(const std::string& path, SourceContainer container) {
  const char* kind = container == SourceContainer::Vhdx ? "VHDX" : "VHD";
  std::string unloaded;
  const VhdiLibrary* vhdi = LoadVhdiLibrary(unloaded);
  if (!vhdi) return {nullptr, unloaded};
  const VhdiCalls calls{*vhdi};
  libvhdi_error_t* error = nullptr;
  libvhdi_file_t* file = nullptr;
  if (vhdi->file_initialize(&file, &error) != 1) return {nullptr, TakeVhdiError(*vhdi, error)};
  auto fail = [&file, &calls](std::string message) {
    calls.Free(file);
    return BackendOpening{nullptr, std::move(message)};
  };
  if (vhdi->file_open(file, path.c_str(), LIBVHDI_OPEN_READ, &error) != 1)
    return fail(std::string("the ") + kind + " cannot be read: " + TakeVhdiError(*vhdi, error));

  std::uint32_t diskType = 0;
  if (vhdi->file_get_disk_type(file, &diskType, &error) == 1 &&
      diskType == LIBVHDI_DISK_TYPE_DIFFERENTIAL) {
    char parentName[4096] = {};
    vhdi->file_get_utf8_parent_filename(file, reinterpret_cast<std::uint8_t*>(parentName),
                                        sizeof parentName, nullptr);
    return fail(std::string("the ") + kind + " holds only the changes made to its parent disk" +
                std::string(*parentName ? " \"" + std::string(parentName) + "\"" : "") +
                "; scan the parent disk, or a copy with the changes merged in");
  }
  if (error) TakeVhdiError(*vhdi, error);

  size64_t size = 0;
  if (vhdi->file_get_media_size(file, &size, &error) != 1)
    return fail(std::string("the ") + kind +
                "'s size cannot be read: " + TakeVhdiError(*vhdi, error));
  SourceFacts facts;
  facts.container = container;
  return {std::make_unique<VirtualDiskBackend<VhdiCalls>>(calls, file, size, std::move(facts)), {}};
}

}  // namespace quillon
