# Run by CPack on the archive it has written. CMake 3.25's CPack takes the
# order of the entries from the file system and records the files' change
# times and owner, so two builds would differ; tools/zip_canonical.py puts
# the entries in name order and gives each one time that depends on the
# sources only: SOURCE_DATE_EPOCH when set, else the time of the last commit.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(
    COMMAND git -C "${CPACK_RELEASE_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 OR epoch STREQUAL "")
    message(FATAL_ERROR
      "release: no SOURCE_DATE_EPOCH and no git history in "
      "${CPACK_RELEASE_SOURCE_DIR}; set SOURCE_DATE_EPOCH to the time the "
      "archive's files should carry")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "release: SOURCE_DATE_EPOCH '${epoch}' is not a number of seconds")
endif()

foreach(archive IN LISTS CPACK_PACKAGE_FILES)
  execute_process(
    COMMAND python3 "${CPACK_RELEASE_SOURCE_DIR}/tools/zip_canonical.py" "${archive}" "${epoch}"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "release: cannot make ${archive} canonical")
  endif()
endforeach()
