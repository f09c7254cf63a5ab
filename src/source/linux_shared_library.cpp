#include <dlfcn.h>

#include "source/shared_library.h"

namespace quillon {

std::unique_ptr<SharedLibrary> SharedLibrary::Open(const std::string& fileName,
                                                   std::string& error) {
  // Its symbols stay its own: nothing loaded later is to bind to them by chance.
  void* handle = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    error = why ? why : fileName + " cannot be loaded";
    return nullptr;
  }
  return std::unique_ptr<SharedLibrary>(new SharedLibrary(handle, fileName));
}

void* SharedLibrary::Address(const char* name) const {
  return dlsym(handle_, name);
}

}  // namespace quillon
