#include "source/image_libraries.h"

#include "source/shared_library.h"

namespace quillon {

const EwfLibrary* LoadEwfLibrary(std::string& error) {
  static const LoadedTable<EwfLibrary> loaded(
      "libewf.so.2", "reading EWF images needs", "lacks functions EWF images are read with",
      [](const SharedLibrary& library, EwfLibrary& table, std::string& missing) {
        library.Bind(table.error_backtrace_sprint, "libewf_error_backtrace_sprint", missing);
        library.Bind(table.error_free, "libewf_error_free", missing);
        library.Bind(table.glob, "libewf_glob", missing);
        library.Bind(table.glob_free, "libewf_glob_free", missing);
        library.Bind(table.handle_close, "libewf_handle_close", missing);
        library.Bind(table.handle_free, "libewf_handle_free", missing);
        library.Bind(table.handle_get_acquiry_error, "libewf_handle_get_acquiry_error", missing);
        library.Bind(table.handle_get_bytes_per_sector, "libewf_handle_get_bytes_per_sector",
                     missing);
        library.Bind(table.handle_get_checksum_error, "libewf_handle_get_checksum_error", missing);
        library.Bind(table.handle_get_md5_hash, "libewf_handle_get_md5_hash", missing);
        library.Bind(table.handle_get_media_size, "libewf_handle_get_media_size", missing);
        library.Bind(table.handle_get_number_of_acquiry_errors,
                     "libewf_handle_get_number_of_acquiry_errors", missing);
        library.Bind(table.handle_get_number_of_checksum_errors,
                     "libewf_handle_get_number_of_checksum_errors", missing);
        library.Bind(table.handle_get_sha1_hash, "libewf_handle_get_sha1_hash", missing);
        library.Bind(table.handle_initialize, "libewf_handle_initialize", missing);
        library.Bind(table.handle_open, "libewf_handle_open", missing);
        library.Bind(table.handle_read_random, "libewf_handle_read_random", missing);
        library.Bind(table.handle_segment_files_corrupted, "libewf_handle_segment_files_corrupted",
                     missing);
      });
  return loaded.Get(error);
}

const VmdkLibrary* LoadVmdkLibrary(std::string& error) {
  static const LoadedTable<VmdkLibrary> loaded(
      "libvmdk.so.1", "reading VMDK images needs", "lacks functions VMDK images are read with",
      [](const SharedLibrary& library, VmdkLibrary& table, std::string& missing) {
        library.Bind(table.error_free, "libvmdk_error_free", missing);
        library.Bind(table.error_backtrace_sprint, "libvmdk_error_backtrace_sprint", missing);
        library.Bind(table.extent_descriptor_free, "libvmdk_extent_descriptor_free", missing);
        library.Bind(table.extent_descriptor_get_type, "libvmdk_extent_descriptor_get_type",
                     missing);
        library.Bind(table.extent_descriptor_get_utf8_filename,
                     "libvmdk_extent_descriptor_get_utf8_filename", missing);
        library.Bind(table.handle_close, "libvmdk_handle_close", missing);
        library.Bind(table.handle_free, "libvmdk_handle_free", missing);
        library.Bind(table.handle_get_extent_descriptor, "libvmdk_handle_get_extent_descriptor",
                     missing);
        library.Bind(table.handle_get_media_size, "libvmdk_handle_get_media_size", missing);
        library.Bind(table.handle_get_number_of_extents, "libvmdk_handle_get_number_of_extents",
                     missing);
        library.Bind(table.handle_get_parent_content_identifier,
                     "libvmdk_handle_get_parent_content_identifier", missing);
        library.Bind(table.handle_get_utf8_parent_filename,
                     "libvmdk_handle_get_utf8_parent_filename", missing);
        library.Bind(table.handle_initialize, "libvmdk_handle_initialize", missing);
        library.Bind(table.handle_open, "libvmdk_handle_open", missing);
        library.Bind(table.handle_open_extent_data_files, "libvmdk_handle_open_extent_data_files",
                     missing);
        library.Bind(table.handle_read_buffer_at_offset, "libvmdk_handle_read_buffer_at_offset",
                     missing);
      });
  return loaded.Get(error);
}

const VhdiLibrary* LoadVhdiLibrary(std::string& error) {
  static const LoadedTable<VhdiLibrary> loaded(
      "libvhdi.so.1", "reading VHD and VHDX images needs",
      "lacks functions VHD and VHDX images are read with",
      [](const SharedLibrary& library, VhdiLibrary& table, std::string& missing) {
        library.Bind(table.error_free, "libvhdi_error_free", missing);
        library.Bind(table.error_backtrace_sprint, "libvhdi_error_backtrace_sprint", missing);
        library.Bind(table.file_close, "libvhdi_file_close", missing);
        library.Bind(table.file_free, "libvhdi_file_free", missing);
        library.Bind(table.file_get_disk_type, "libvhdi_file_get_disk_type", missing);
        library.Bind(table.file_get_media_size, "libvhdi_file_get_media_size", missing);
        library.Bind(table.file_get_utf8_parent_filename, "libvhdi_file_get_utf8_parent_filename",
                     missing);
        library.Bind(table.file_initialize, "libvhdi_file_initialize", missing);
        library.Bind(table.file_open, "libvhdi_file_open", missing);
        library.Bind(table.file_read_buffer_at_offset, "libvhdi_file_read_buffer_at_offset",
                     missing);
      });
  return loaded.Get(error);
}

}  // namespace quillon
