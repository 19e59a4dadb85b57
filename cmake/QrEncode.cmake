# The QR code library: Debian's libqrencode on Linux; for Windows, the same release built with the
# cross compiler from Debian's original source, which scripts/install-deps.sh --windows fetched
# and checked. Either way the target is velmora::qrencode.
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(QRENCODE REQUIRED IMPORTED_TARGET libqrencode)
  add_library(velmora::qrencode ALIAS PkgConfig::QRENCODE)
  return()
endif()

set(VELMORA_QRENCODE_VERSION 4.1.1)
set(VELMORA_QRENCODE_ARCHIVE ${PROJECT_SOURCE_DIR}/build/downloads/qrencode_${VELMORA_QRENCODE_VERSION}.orig.tar.bz2)
if(NOT EXISTS ${VELMORA_QRENCODE_ARCHIVE})
  message(FATAL_ERROR "The QR code library's source is missing: ${VELMORA_QRENCODE_ARCHIVE}. "
                      "Run ./scripts/install-deps.sh --windows, which fetches it.")
endif()
set(source ${PROJECT_BINARY_DIR}/qrencode-${VELMORA_QRENCODE_VERSION})
if(NOT EXISTS ${source}/qrencode.h)
  file(ARCHIVE_EXTRACT INPUT ${VELMORA_QRENCODE_ARCHIVE} DESTINATION ${PROJECT_BINARY_DIR})
endif()
enable_language(C)
add_library(velmora_qrencode STATIC
  ${source}/bitstream.c ${source}/mask.c ${source}/mmask.c ${source}/mqrspec.c ${source}/qrencode.c
  ${source}/qrinput.c ${source}/qrspec.c ${source}/rsecc.c ${source}/split.c)
target_include_directories(velmora_qrencode SYSTEM PUBLIC ${source})
# What its own build would define: the version, strdup from the C library, its internal functions
# kept static; no threads (encoding runs on one thread at a time here).
target_compile_definitions(velmora_qrencode PRIVATE MAJOR_VERSION=4 MINOR_VERSION=1 MICRO_VERSION=1
                           VERSION="${VELMORA_QRENCODE_VERSION}" HAVE_STRDUP=1 STATIC_IN_RELEASE=static)
target_compile_options(velmora_qrencode PRIVATE -w)
add_library(velmora::qrencode ALIAS velmora_qrencode)
