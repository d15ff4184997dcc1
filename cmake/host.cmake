# Host build: the core against the in-memory platform, with GoogleTest.
enable_testing()
find_package(GTest REQUIRED)

add_library(core STATIC ${CORE_SOURCES})
target_include_directories(core PUBLIC ${CMAKE_SOURCE_DIR})

add_library(fake_platform STATIC
  ${CMAKE_SOURCE_DIR}/platform/fake_platform.cc
  ${CMAKE_SOURCE_DIR}/platform/fake_registry.cc
  ${CMAKE_SOURCE_DIR}/platform/fake_files.cc)
target_include_directories(fake_platform PUBLIC ${CMAKE_SOURCE_DIR})
# The fake uses the standard library freely; exceptions stay off anyway.
target_link_libraries(core PUBLIC fake_platform)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cc)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE core GTest::gtest GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(unit_tests)

option(LAUNCHER_FUZZ "Build the libFuzzer targets of fuzz/ (clang)" OFF)
if(LAUNCHER_FUZZ)
  add_subdirectory(${CMAKE_SOURCE_DIR}/fuzz ${CMAKE_BINARY_DIR}/fuzz)
endif()
