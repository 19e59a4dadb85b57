# One GoogleTest executable per subsystem; its cases are registered one by one in CTest.
if(CMAKE_CROSSCOMPILING)
  # The cross compiler builds GoogleTest from the sources Debian ships.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# velmora_test(NAME SOURCES... LIBS lib... [LABELS label...])
function(velmora_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} velmora_test_support GTest::gtest GTest::gmock GTest::gtest_main
                                              Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    VELMORA_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
    VELMORA_TEST_PROJECT="${PROJECT_SOURCE_DIR}/tests/support/project"
    VELMORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  velmora_warnings(${name})
  set(properties TIMEOUT 300)
  if(ARG_LABELS)
    list(APPEND properties LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
endfunction()
