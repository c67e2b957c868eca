# Run by CPack on its staging tree: Debian ships man pages gzip-compressed.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.1")
list(FILTER pages INCLUDE REGEX "/man1/[^/]+\\.1$")
foreach(page IN LISTS pages)
  execute_process(COMMAND gzip -9n -f "${page}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
endforeach()
