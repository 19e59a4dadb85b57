# One GoogleTest executable per subsystem; its cases are registered one by one in CTest.
find_package(GTest REQUIRED)
include(GoogleTest)

# velmora_test(NAME SOURCES... LIBS lib... [LABELS label...])
function(velmora_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  # tests/support: what tests of several folders share (recording views, projects, child processes).
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
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
