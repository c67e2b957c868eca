# The Windows download: `cpack -G ZIP` in a Windows build folder makes
# idstamp-<version>-win32.zip or idstamp-<version>-win64.zip, by the target's
# pointer size, one folder holding the two programs, the README,
# the licence and the manuals as plain text (and the token debugger page,
# which cmake/DebuggerPage.cmake installs), each text file with CRLF line
# ends for Notepad. Included by the top-level CMakeLists.txt for WIN32 builds
# that install; there the programs install at the top of the tree and nothing
# else of the Unix layout does.
#
# The same file, run as a script, writes one of those text files:
#   cmake -DINPUT=file [-DGROFF=groff] -DOUTPUT=file.txt -P WindowsZip.cmake
# With GROFF, INPUT is a man page rendered as plain ASCII: no bold or
# underline by overstrike (-P-bou), no escape sequences (-P-c).

if(CMAKE_SCRIPT_MODE_FILE)
  if(GROFF)
    execute_process(COMMAND ${GROFF} -man -Tascii -P-cbou -ww ${INPUT}
      OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
      message(FATAL_ERROR "groff on ${INPUT} (${status}):\n${errors}")
    endif()
  else()
    file(READ ${INPUT} text)
  endif()
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${OUTPUT}.part "${text}")
  file(RENAME ${OUTPUT}.part ${OUTPUT})
  return()
endif()

find_program(GROFF groff)
if(NOT GROFF)
  message(FATAL_ERROR "The Windows zip's manuals are rendered with groff: install it "
                      "(apt-get install groff-base), or configure with -DIDSTAMP_INSTALL=OFF")
endif()

set(zip_text_dir ${PROJECT_BINARY_DIR}/windows-zip)
set(zip_texts "")
foreach(text IN ITEMS "docs/README-windows.txt=README.txt" "LICENSE=LICENSE.txt"
                      "docs/idstamp.1=idstamp.txt" "docs/idstamp-inspect.1=idstamp-inspect.txt")
  string(REPLACE "=" ";" text "${text}")
  list(GET text 0 input)
  list(GET text 1 output)
  set(render "")
  if(input MATCHES "\\.1$")
    set(render -DGROFF=${GROFF})
  endif()
  add_custom_command(OUTPUT ${zip_text_dir}/${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${PROJECT_SOURCE_DIR}/${input}
            -DOUTPUT=${zip_text_dir}/${output} ${render} -P ${CMAKE_CURRENT_LIST_FILE}
    DEPENDS ${PROJECT_SOURCE_DIR}/${input} ${CMAKE_CURRENT_LIST_FILE}
    COMMENT "Writing ${output} for the Windows zip"
    VERBATIM)
  list(APPEND zip_texts ${zip_text_dir}/${output})
endforeach()
add_custom_target(windows_zip_texts ALL DEPENDS ${zip_texts})
install(FILES ${zip_texts} DESTINATION . COMPONENT runtime)

# One zip of everything installed, inside a folder named as the zip.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
math(EXPR windows_bits "${CMAKE_SIZEOF_VOID_P} * 8")
set(CPACK_PACKAGE_FILE_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win${windows_bits})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
