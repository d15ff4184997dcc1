# Windows build: launcher.exe, a PE32 GUI program for Windows 95 and later
# that links no C runtime, only KERNEL32 and ADVAPI32, and runs on any 386.
enable_language(RC)

# Nothing beyond what the launcher names itself.
set(CMAKE_CXX_STANDARD_LIBRARIES "")

add_executable(launcher
  ${CORE_SOURCES}
  ${CMAKE_SOURCE_DIR}/platform/win32_platform.cc
  ${CMAKE_SOURCE_DIR}/launcher/win32_startup.cc
  ${CMAKE_SOURCE_DIR}/platform/win32_runtime.cc
  ${CMAKE_SOURCE_DIR}/res/launcher.rc)
target_include_directories(launcher PRIVATE ${CMAKE_SOURCE_DIR})
set_source_files_properties(${CMAKE_SOURCE_DIR}/res/launcher.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/launcher.ico)
set_target_properties(launcher PROPERTIES
  LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/launcher.ld)

# Code generation, for the compile and for the link-time optimizer alike.
set(LAUNCHER_CODE_FLAGS
  # Every x86 Windows 95 ever ran on; no cmov and the like (the toolchain's
  # default is the Pentium Pro). scripts/check_exe.sh disassembles the result.
  -march=i386 -mtune=generic
  # Windows keeps the stack 4-byte aligned; no padding to 16.
  -mpreferred-stack-boundary=2
  # Whole-program optimization for size; -Oz picks the shorter encodings
  # (push/pop for small constants and the like).
  -Oz -flto -ffreestanding
  # Arguments pushed instead of stored into space reserved in advance:
  # shorter calls, and no re-adjustment after every stdcall. The reserved
  # space is what GCC's stack probe needs, and only frames of 4000 bytes
  # or more get a probe; the launcher's largest is about 2 KiB, and the
  # build fails on one of 3 KiB or more rather than go without a probe.
  -mno-accumulate-outgoing-args -mno-stack-arg-probe
  -Werror=frame-larger-than=3071
  # Constants aligned as the ABI asks, not padded to 32 bytes each.
  -malign-data=abi
  # A function called once is inlined only where that makes it smaller.
  -fno-inline-functions-called-once -fno-partial-inlining
  # No frame pointer: one register more and no set-up in every function.
  -fomit-frame-pointer
  -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
  -fno-unwind-tables -fno-threadsafe-statics -fno-stack-protector
  # Keep loops as loops instead of calls to memset/memcpy.
  -fno-tree-loop-distribute-patterns
  -ffunction-sections -fdata-sections
  # No compiler identification strings in the image, and no path of the
  # source tree should a file name ever be compiled in.
  -fno-ident -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
target_compile_options(launcher PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${LAUNCHER_CODE_FLAGS}>)
# The start-up and the routines the code generator calls by itself stay out
# of link-time optimization: calls to them appear only after it has run.
set_source_files_properties(${CMAKE_SOURCE_DIR}/launcher/win32_startup.cc
  ${CMAKE_SOURCE_DIR}/platform/win32_runtime.cc
  PROPERTIES COMPILE_OPTIONS -fno-lto)

target_link_options(launcher PRIVATE
  ${LAUNCHER_CODE_FLAGS}
  -nostdlib -nostartfiles -s
  -Wl,--entry,_LauncherStartup@0
  -Wl,--subsystem,windows:4.0
  -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--gc-sections -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/launcher.ld
  # A fixed-base program like those of its day: no relocations to carry.
  -Wl,--disable-dynamicbase -Wl,--disable-reloc-section
  # The same sources give the same bytes.
  -Wl,--no-insert-timestamp
  # Where the bytes go, for tools/pe_layout.py.
  -Wl,-Map,${CMAKE_CURRENT_BINARY_DIR}/launcher.map)
target_link_libraries(launcher PRIVATE kernel32 advapi32)

# Every build is checked: whatever a new source pulls in (a runtime helper,
# an import off the allowed list, a few KiB too many, writable code, an
# instruction a 386 lacks) fails here, loudly. The checker's own test runs
# on the same program: patched copies of it must fail.
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/launcher.checked
  COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP}
          sh ${CMAKE_SOURCE_DIR}/scripts/check_exe.sh $<TARGET_FILE:launcher>
             ${CMAKE_CURRENT_BINARY_DIR}/launcher.map
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/pe_layout.py
          $<TARGET_FILE:launcher> ${CMAKE_CURRENT_BINARY_DIR}/launcher.map
  COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP}
          LAUNCHER_EXE=$<TARGET_FILE:launcher>
          python3 ${CMAKE_SOURCE_DIR}/tests/release/check_exe_test.py
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/launcher.checked
  DEPENDS launcher
          ${CMAKE_SOURCE_DIR}/scripts/check_exe.sh
          ${CMAKE_SOURCE_DIR}/tools/check_pe.py
          ${CMAKE_SOURCE_DIR}/tools/pe_layout.py
          ${CMAKE_SOURCE_DIR}/tests/release/check_exe_test.py
  COMMENT "Checking launcher.exe"
  VERBATIM)
add_custom_target(check_launcher ALL
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/launcher.checked)

# ---- KIT.EXE: the rollout kit's helper ---------------------------------------
# A console program for a login script, built like launcher.exe (the same
# code generation, no C runtime, 95-era imports only, 386 code), with the
# launcher's own family rule linked in. 8.3 and upper case, as 9x shows it.
file(GLOB KIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/kit/*.cc)
list(FILTER KIT_SOURCES EXCLUDE REGEX "/win32_startup\\.cc$")
add_executable(kit
  ${KIT_SOURCES}
  ${CORE_SOURCES}
  ${CMAKE_SOURCE_DIR}/platform/win32_platform.cc
  ${CMAKE_SOURCE_DIR}/platform/win32_kit.cc
  ${CMAKE_SOURCE_DIR}/kit/win32_startup.cc
  ${CMAKE_SOURCE_DIR}/platform/win32_runtime.cc)
target_include_directories(kit PRIVATE ${CMAKE_SOURCE_DIR})
set_target_properties(kit PROPERTIES OUTPUT_NAME KIT SUFFIX .EXE
  LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/kit.ld)
target_compile_options(kit PRIVATE
  $<$<COMPILE_LANGUAGE:CXX>:${LAUNCHER_CODE_FLAGS}>)
# Its work buffers: with -fdata-sections MinGW's GCC would give a
# zero-filled object file space of its own (.data$...), in plain .bss it
# takes none.
set_source_files_properties(${CMAKE_SOURCE_DIR}/kit/win32_startup.cc
  PROPERTIES COMPILE_OPTIONS "-fno-lto;-fno-data-sections")
target_link_options(kit PRIVATE
  ${LAUNCHER_CODE_FLAGS}
  -nostdlib -nostartfiles -s
  -Wl,--entry,_KitStartup@0
  -Wl,--subsystem,console:4.0
  -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--gc-sections -Wl,-T,${CMAKE_SOURCE_DIR}/cmake/kit.ld
  -Wl,--disable-dynamicbase -Wl,--disable-reloc-section
  -Wl,--no-insert-timestamp
  -Wl,-Map,${CMAKE_CURRENT_BINARY_DIR}/KIT.map)
target_link_libraries(kit PRIVATE kernel32 advapi32)

# Checked every build like launcher.exe, against the kit's own profile
# (console, no resources, its import list); patched copies must fail.
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/KIT.checked
  COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP}
          sh ${CMAKE_SOURCE_DIR}/scripts/check_exe.sh --kit $<TARGET_FILE:kit>
             ${CMAKE_CURRENT_BINARY_DIR}/KIT.map
  COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP}
          KIT_EXE=$<TARGET_FILE:kit>
          python3 ${CMAKE_SOURCE_DIR}/tests/release/check_exe_test.py
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/KIT.checked
  DEPENDS kit
          ${CMAKE_SOURCE_DIR}/scripts/check_exe.sh
          ${CMAKE_SOURCE_DIR}/tools/check_pe.py
          ${CMAKE_SOURCE_DIR}/tests/release/check_exe_test.py
  COMMENT "Checking KIT.EXE"
  VERBATIM)
add_custom_target(check_kit ALL
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/KIT.checked)

# ---- launcher-preview.exe: the preview as a Windows console program --------
# The launcher's own sources again, over the in-memory platform, with the
# standard library and exceptions; statically linked, for Windows XP and
# later. CLI11 and nlohmann-json are header-only: their Debian headers serve.
set(PREVIEW_WIN32_SOURCES)
foreach(stage IN LISTS PREVIEW_STAGES)
  file(GLOB stage_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/preview/${stage}/*.cc)
  list(APPEND PREVIEW_WIN32_SOURCES ${stage_sources})
endforeach()
list(FILTER PREVIEW_WIN32_SOURCES EXCLUDE REGEX "(_iconv|_host)\\.cc$")
set(PREVIEW_HEADERS ${CMAKE_BINARY_DIR}/preview-headers)
file(MAKE_DIRECTORY ${PREVIEW_HEADERS})
foreach(library CLI nlohmann)
  if(NOT EXISTS ${PREVIEW_HEADERS}/${library})
    file(CREATE_LINK /usr/include/${library} ${PREVIEW_HEADERS}/${library} SYMBOLIC)
  endif()
endforeach()
include(${CMAKE_SOURCE_DIR}/cmake/preview_embedded.cmake)
add_executable(launcher-preview
  ${PREVIEW_WIN32_SOURCES}
  ${PREVIEW_EMBEDDED_SOURCES}
  ${CORE_SOURCES}
  # The kit's name check and release records: the same rules for the
  # records the preview writes as for the kit that reads them.
  ${CMAKE_SOURCE_DIR}/kit/machine_name.cc
  ${CMAKE_SOURCE_DIR}/kit/release_record.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_files.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_kit.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_machine.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_process.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_registry.cc
  ${CMAKE_SOURCE_DIR}/platform/memory_text.cc)
target_include_directories(launcher-preview PRIVATE ${CMAKE_SOURCE_DIR})
target_include_directories(launcher-preview SYSTEM PRIVATE ${PREVIEW_HEADERS})
target_compile_definitions(launcher-preview PRIVATE
  _WIN32_WINNT=0x0501 WINVER=0x0501 UNICODE _UNICODE)
target_compile_options(launcher-preview PRIVATE -O2 -fexceptions -frtti
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
target_link_options(launcher-preview PRIVATE
  # wmain: the arguments in UTF-16, whatever the ANSI code page holds.
  -municode
  -static -static-libgcc -static-libstdc++ -s
  -Wl,--subsystem,console:5.01
  -Wl,--major-os-version,5 -Wl,--minor-os-version,1
  -Wl,--no-insert-timestamp)
target_link_libraries(launcher-preview PRIVATE advapi32 kernel32 user32)

# Whatever the preview imports, from its sources or from the toolchain's
# runtime, must be in Windows XP SP2: anything else fails the build, naming
# the DLL and the function. The checker's test builds small programs that
# must pass or fail it.
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/launcher-preview.checked
  COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP}
          sh ${CMAKE_SOURCE_DIR}/scripts/check_preview_imports.sh
             $<TARGET_FILE:launcher-preview>
  COMMAND ${CMAKE_COMMAND} -E env OBJDUMP=${CMAKE_OBJDUMP}
          MINGW_CXX=${CMAKE_CXX_COMPILER}
          python3 ${CMAKE_SOURCE_DIR}/tests/release/check_preview_imports_test.py
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_CURRENT_BINARY_DIR}/launcher-preview.checked
  DEPENDS launcher-preview
          ${CMAKE_SOURCE_DIR}/scripts/check_preview_imports.sh
          ${CMAKE_SOURCE_DIR}/tools/xp_sp2_exports.txt
          ${CMAKE_SOURCE_DIR}/tests/release/check_preview_imports_test.py
  COMMENT "Checking launcher-preview.exe's imports against Windows XP SP2"
  VERBATIM)
add_custom_target(check_preview ALL
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/launcher-preview.checked)

# ---- The release archive ----------------------------------------------------
# silent-launcher-<version>.zip: the three programs, the administrators'
# README (made from README.md and docs/administrators.md, never kept by
# hand) and SHA256SUMS of those four.
# `cmake --build --preset win32 --target archive` installs them into CPack's
# staging folder and zips them there; every build from the same sources
# gives the same bytes (scripts/reproducible.sh checks it).
set(RELEASE_README ${CMAKE_CURRENT_BINARY_DIR}/README.txt)
set(RELEASE_SUMS ${CMAKE_CURRENT_BINARY_DIR}/SHA256SUMS)
add_custom_command(
  OUTPUT ${RELEASE_README}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/admin_readme.py
          ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/administrators.md ${PROJECT_VERSION} ${RELEASE_README}
  DEPENDS ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/administrators.md
          ${CMAKE_SOURCE_DIR}/tools/admin_readme.py
  COMMENT "Writing README.txt from README.md and docs/administrators.md"
  VERBATIM)
add_custom_command(
  OUTPUT ${RELEASE_SUMS}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${RELEASE_SUMS}
          "-DFILES=$<TARGET_FILE:launcher>;$<TARGET_FILE:launcher-preview>;$<TARGET_FILE:kit>;${RELEASE_README}"
          -P ${CMAKE_SOURCE_DIR}/cmake/sha256sums.cmake
  DEPENDS launcher launcher-preview kit ${RELEASE_README}
          ${CMAKE_SOURCE_DIR}/cmake/sha256sums.cmake
  COMMENT "Writing SHA256SUMS"
  VERBATIM)
add_custom_target(archive_files ALL DEPENDS ${RELEASE_README} ${RELEASE_SUMS})

# KIT.EXE beside launcher-preview.exe: rollout-kit copies it from there.
install(TARGETS launcher launcher-preview kit RUNTIME DESTINATION .)
install(FILES ${RELEASE_README} ${RELEASE_SUMS} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME silent-launcher)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME silent-launcher-${PROJECT_VERSION})
# The five files at the top of the archive, not in a folder of their own:
# Windows makes one when it extracts.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/release_canonical.cmake)
set(CPACK_RELEASE_SOURCE_DIR ${CMAKE_SOURCE_DIR})
include(CPack)

add_custom_target(archive
  COMMAND ${CMAKE_CPACK_COMMAND} --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
          -B ${CMAKE_BINARY_DIR}
  COMMENT "Packing silent-launcher-${PROJECT_VERSION}.zip"
  VERBATIM)
add_dependencies(archive launcher launcher-preview kit check_launcher check_preview
                 check_kit archive_files)
