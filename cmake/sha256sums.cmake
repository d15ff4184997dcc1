# Writes SHA256SUMS in the form sha256sum reads: one "<hash>  <name>" line
# per file, in the order given, names without their folder.
#
# cmake -DOUTPUT=path/SHA256SUMS "-DFILES=a;b;c" -P sha256sums.cmake
if(NOT OUTPUT OR NOT FILES)
  message(FATAL_ERROR "usage: cmake -DOUTPUT=... -DFILES=... -P sha256sums.cmake")
endif()
set(text "")
foreach(path IN LISTS FILES)
  file(SHA256 "${path}" hash)
  get_filename_component(name "${path}" NAME)
  string(APPEND text "${hash}  ${name}\n")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
