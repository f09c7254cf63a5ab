# QUILLON_SANITIZE applies to every target so that core, tests and tools agree on the runtime.
if(QUILLON_SANITIZE)
  add_compile_options(-fsanitize=${QUILLON_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${QUILLON_SANITIZE})
endif()
