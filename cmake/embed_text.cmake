# Writes a C++ source defining one constant that holds a text file's bytes,
# so that a file kept as what it is (a stylesheet) is built into a program.
#   cmake -DINPUT=file -DOUTPUT=file.cc -DNAME=kName -DNAMESPACE=ns -P embed_text.cmake
file(READ ${INPUT} text)
if(text MATCHES "\\)embedded\"")
  message(FATAL_ERROR "${INPUT} holds the raw string's end: )embedded\"")
endif()
get_filename_component(source ${INPUT} NAME)
file(WRITE ${OUTPUT}.new
  "// Made by the build from ${source}; edit that file, not this one.\n"
  "namespace ${NAMESPACE} {\n"
  "extern const char ${NAME}[];\n"
  "const char ${NAME}[] = R\"embedded(${text})embedded\";\n"
  "}  // namespace ${NAMESPACE}\n")
# Unchanged text leaves the source as it was: nothing is built again.
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUTPUT}.new ${OUTPUT})
file(REMOVE ${OUTPUT}.new)
