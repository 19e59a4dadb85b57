# Sanitizers apply to the whole build so that libraries and tests agree.
if(VELMORA_SANITIZE)
  set(_flags -fsanitize=${VELMORA_SANITIZE} -fno-omit-frame-pointer -g)
  if(VELMORA_SANITIZE MATCHES "undefined")
    list(APPEND _flags -fno-sanitize-recover=undefined)
  endif()
  add_compile_options(${_flags})
  add_link_options(${_flags})
endif()

# A fuzz build instruments every library for coverage; only the fuzz targets link libFuzzer.
if(BUILD_FUZZERS)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
