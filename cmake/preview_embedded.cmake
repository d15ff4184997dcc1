# The preview's files built into it as they are: the fleet page's
# stylesheet. PREVIEW_EMBEDDED_SOURCES lists the sources made from them, for
# the host and Windows builds alike.
set(PREVIEW_EMBEDDED_SOURCES ${CMAKE_BINARY_DIR}/embedded/fleet_page_css.cc)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/embedded/fleet_page_css.cc
  COMMAND ${CMAKE_COMMAND} -DINPUT=${CMAKE_SOURCE_DIR}/preview/output/fleet_page.css
          -DOUTPUT=${CMAKE_BINARY_DIR}/embedded/fleet_page_css.cc
          -DNAME=kFleetPageCss -DNAMESPACE=preview
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_text.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/preview/output/fleet_page.css
          ${CMAKE_SOURCE_DIR}/cmake/embed_text.cmake
  COMMENT "Embedding the fleet page's stylesheet"
  VERBATIM)
