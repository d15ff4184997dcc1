# Host build: the core against the in-memory platform, with GoogleTest.
enable_testing()
find_package(GTest REQUIRED)

add_library(core STATIC ${CORE_SOURCES})
target_include_directories(core PUBLIC ${CMAKE_SOURCE_DIR})

# The in-memory machine the host builds run the launcher on; it uses the
# standard library freely, exceptions stay off anyway.
add_library(memory_platform STATIC
  ${CMAKE_SOURCE_DIR}/platform/memory_files.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_kit.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_machine.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_process.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_registry.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_text.cc)
target_include_directories(memory_platform PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(core PUBLIC memory_platform)
# What only tests may do to that machine.
add_library(memory_testing STATIC ${CMAKE_SOURCE_DIR}/platform/memory_testing.cc)
target_link_libraries(memory_testing PUBLIC memory_platform)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cc)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE core memory_testing GTest::gtest
                      GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(unit_tests)

# KIT.EXE's logic over the in-memory platform: its commands whole, with the
# launcher's own family rule from core.
file(GLOB KIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/kit/*.cc)
list(FILTER KIT_SOURCES EXCLUDE REGEX "/win32_startup\\.cc$")
add_library(kit_lib STATIC ${KIT_SOURCES})
target_include_directories(kit_lib PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kit_lib PUBLIC core)

option(LAUNCHER_FUZZ "Build the libFuzzer targets of fuzz/ (clang)" OFF)
if(LAUNCHER_FUZZ)
  add_subdirectory(${CMAKE_SOURCE_DIR}/fuzz ${CMAKE_BINARY_DIR}/fuzz)
endif()

# ---- The preview: the launcher's own code over the in-memory platform ------
find_package(CLI11 CONFIG REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
set(PREVIEW_SOURCES)
foreach(stage IN LISTS PREVIEW_STAGES)
  file(GLOB stage_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/preview/${stage}/*.cc)
  list(APPEND PREVIEW_SOURCES ${stage_sources})
endforeach()
list(FILTER PREVIEW_SOURCES EXCLUDE REGEX "_win32\\.cc$")
list(REMOVE_ITEM PREVIEW_SOURCES ${CMAKE_SOURCE_DIR}/preview/command/main.cc)
include(${CMAKE_SOURCE_DIR}/cmake/preview_embedded.cmake)
add_library(preview_lib STATIC ${PREVIEW_SOURCES} ${PREVIEW_EMBEDDED_SOURCES}
            ${CMAKE_SOURCE_DIR}/preview/exports/reg_file.h)
set_target_properties(preview_lib PROPERTIES LINKER_LANGUAGE CXX)
target_include_directories(preview_lib PUBLIC ${CMAKE_SOURCE_DIR})
# A host tool: the standard library's exceptions, CLI11 and nlohmann-json.
target_compile_options(preview_lib PUBLIC -fexceptions -frtti)
target_link_libraries(preview_lib PUBLIC core kit_lib CLI11::CLI11
                      nlohmann_json::nlohmann_json)

add_executable(launcher-preview ${CMAKE_SOURCE_DIR}/preview/command/main.cc)
target_link_libraries(launcher-preview PRIVATE preview_lib)
# The command line itself: exit codes, one-line messages, help.
add_test(NAME preview_command_line
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/preview/command_line_test.sh
                 $<TARGET_FILE:launcher-preview>)

# The release tools: the archive's README made from README.md and the
# administrators' guide (its option table against this preview's), and the
# canonical form of the zip.
add_test(NAME release_tools
         COMMAND python3 -m unittest discover -s ${CMAKE_SOURCE_DIR}/tests/release
                 -p "*_test.py")
set_tests_properties(release_tools PROPERTIES
  ENVIRONMENT "LAUNCHER_PREVIEW=$<TARGET_FILE:launcher-preview>")

# Checks the preview against the real launcher's runs under Wine
# (scripts/e2e.sh runs it on the runner's records).
add_executable(preview_check ${CMAKE_SOURCE_DIR}/tests/e2e/preview_check.cc)
target_link_libraries(preview_check PRIVATE preview_lib)

file(GLOB PREVIEW_TEST_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tests/preview/*.cc)
if(PREVIEW_TEST_SOURCES)
  add_executable(preview_tests ${PREVIEW_TEST_SOURCES})
  target_link_libraries(preview_tests PRIVATE preview_lib GTest::gtest
                        GTest::gtest_main)
  target_compile_definitions(preview_tests PRIVATE
                             LAUNCHER_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(preview_tests)
endif()

file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cc)
foreach(source IN LISTS BENCH_SOURCES)
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE preview_lib)
endforeach()

# Large exports for bench/scale.sh.
add_executable(scale_files ${CMAKE_SOURCE_DIR}/bench/scale_files.cc)
target_include_directories(scale_files PRIVATE ${CMAKE_SOURCE_DIR})

# Generated machine folders, shared by fleet_bench and fleet_generate (the
# fleet page's browser test, the demo and bench/fleet_process.sh).
add_library(fleet_machines STATIC ${CMAKE_SOURCE_DIR}/bench/fleet_machines.cc)
target_include_directories(fleet_machines PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(fleet_machines PRIVATE -fexceptions)
target_link_libraries(fleet_bench PRIVATE fleet_machines)
add_executable(fleet_generate ${CMAKE_SOURCE_DIR}/tests/fleet/generate.cc)
target_compile_options(fleet_generate PRIVATE -fexceptions)
target_link_libraries(fleet_generate PRIVATE fleet_machines)
# The fleet page in headless Chromium: its figures against the CSV's, no
# console error, a screenshot in build/. Skipped without Chromium.
add_test(NAME fleet_page_browser
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/preview/fleet_page_browser_test.sh
                 $<TARGET_FILE:launcher-preview> $<TARGET_FILE:fleet_generate>
                 ${CMAKE_SOURCE_DIR}/build/fleet-page.png)
set_tests_properties(fleet_page_browser PROPERTIES SKIP_RETURN_CODE 77)
# The fleet's CSV in a spreadsheet: crafted names and values opened by
# LibreOffice Calc headless must read back as written, with no formula.
# Skipped without soffice.
add_test(NAME fleet_spreadsheet
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/preview/fleet_spreadsheet_test.sh
                 $<TARGET_FILE:launcher-preview>)
set_tests_properties(fleet_spreadsheet PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)

# Random machines for the fidelity check (scripts/fidelity.sh), chosen as
# the whole-run fuzz target chooses them; FuzzedDataProvider is clang's.
execute_process(COMMAND clang++ -print-resource-dir
                OUTPUT_VARIABLE CLANG_RESOURCE_DIR OUTPUT_STRIP_TRAILING_WHITESPACE
                ERROR_QUIET)
if(EXISTS ${CLANG_RESOURCE_DIR}/include/fuzzer/FuzzedDataProvider.h)
  add_executable(fidelity_generate ${CMAKE_SOURCE_DIR}/tests/fidelity/generate.cc
                                   ${CMAKE_SOURCE_DIR}/fuzz/world.cc)
  # Only that header: clang's own stddef.h and the like would shadow g++'s.
  set(FUZZER_HEADERS ${CMAKE_BINARY_DIR}/fuzzer-headers)
  file(MAKE_DIRECTORY ${FUZZER_HEADERS})
  if(NOT EXISTS ${FUZZER_HEADERS}/fuzzer)
    file(CREATE_LINK ${CLANG_RESOURCE_DIR}/include/fuzzer ${FUZZER_HEADERS}/fuzzer SYMBOLIC)
  endif()
  target_include_directories(fidelity_generate SYSTEM PRIVATE ${FUZZER_HEADERS})
  target_link_libraries(fidelity_generate PRIVATE preview_lib memory_testing)
else()
  message(WARNING "clang's FuzzedDataProvider.h not found: no fidelity_generate")
endif()

# The kit's tests: its commands over the in-memory platform, its exports
# read back by the preview's own reader.
file(GLOB KIT_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/kit/*.cc)
if(KIT_TEST_SOURCES)
  add_executable(kit_tests ${KIT_TEST_SOURCES})
  target_link_libraries(kit_tests PRIVATE kit_lib preview_lib memory_testing
                        GTest::gtest GTest::gtest_main)
  gtest_discover_tests(kit_tests)
endif()

# The rollout kit's part for Windows 9x run by DOSBox's command.com-like
# shell, step by step, with a DOS stand-in for KIT.EXE and START. Skipped
# without dosbox or nasm.
add_test(NAME kit_dosbox
         COMMAND bash ${CMAKE_SOURCE_DIR}/tests/kit/dosbox_test.sh $<TARGET_FILE:launcher-preview>)
set_tests_properties(kit_dosbox PROPERTIES SKIP_RETURN_CODE 77)
