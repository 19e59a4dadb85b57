# Every target of ours gets the same warning set; CI turns them into errors.
function(velmora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
  if(VELMORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# A static library of ours: sources, public include root at src/, warnings.
function(velmora_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  velmora_warnings(${name})
  velmora_check_headers(${name})
endfunction()
