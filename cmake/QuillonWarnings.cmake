# Warnings for our own targets only; third-party headers come in as SYSTEM.
function(quillon_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
                                           -Wcast-align -Wformat=2)
  # gcc's local-only shadow warning; clang has none as narrow, and its -Wshadow flags too much.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wshadow=local)
  endif()
  if(QUILLON_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
