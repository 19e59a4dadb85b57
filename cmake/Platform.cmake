# The platform the build targets. A platform interface is one header with one implementation file
# per platform, named NAME${VELMORA_PLATFORM}.cpp (IdStackPosix.cpp, IdStackWindows.cpp); a
# library lists it with that variable and the build picks the file. Logic never asks which
# platform it runs on.
if(WIN32)
  set(VELMORA_PLATFORM Windows)
  # The oldest Windows the program runs on, 10; every Windows header sees the wide-character API.
  add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
  # Windows programs sit side by side in their own folder (Program Files\Velmora), not in bin/.
  set(CMAKE_INSTALL_BINDIR .)
else()
  set(VELMORA_PLATFORM Posix)
endif()

# Header-only libraries of Debian's reach the cross compiler through a folder that holds only
# them: /usr/include itself holds Linux's C library headers.
function(velmora_header_only_include target package_dir)
  if(CMAKE_CROSSCOMPILING)
    set(folder ${PROJECT_BINARY_DIR}/header-only)
    get_filename_component(name ${package_dir} NAME)
    if(NOT EXISTS ${folder}/${name})
      file(COPY ${package_dir} DESTINATION ${folder})
    endif()
    target_include_directories(${target} SYSTEM PRIVATE ${folder})
  endif()
endfunction()
