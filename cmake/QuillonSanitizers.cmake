# QUILLON_SANITIZE applies to every target so that core, tests and tools agree on the runtime.
# Every finding ends the program: a test that merely prints a sanitizer report would pass.
if(QUILLON_SANITIZE)
  add_compile_options(-fsanitize=${QUILLON_SANITIZE} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${QUILLON_SANITIZE})
  # gcc's flow analysis sees the sanitizers' own code paths as uninitialised reads (in
  # std::regex and std::function, for one); the plain build keeps the warning.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()
