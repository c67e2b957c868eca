# The browser token debugger, idstamp-debugger.html: one self-contained page
# that `node web/build.mjs` makes from web/ and the JavaScript package in
# js/. Nothing else in the build needs Node, so by default (AUTO) the page is
# left out, with a message, where no Node.js 18 or later is found; ON makes
# it required (the Debian package and the Windows zips carry it), OFF leaves
# it out. Installed beside the programs on Windows, else in share/idstamp.
set(IDSTAMP_DEBUGGER_PAGE AUTO CACHE STRING
    "Build idstamp-debugger.html with Node.js 18 or later: AUTO (where Node is found), ON or OFF")
set_property(CACHE IDSTAMP_DEBUGGER_PAGE PROPERTY STRINGS AUTO ON OFF)
if(NOT IDSTAMP_DEBUGGER_PAGE MATCHES "^(AUTO|ON|OFF)$")
  message(FATAL_ERROR "IDSTAMP_DEBUGGER_PAGE is AUTO, ON or OFF, not ${IDSTAMP_DEBUGGER_PAGE}")
endif()
if(IDSTAMP_DEBUGGER_PAGE STREQUAL "OFF")
  return()
endif()

find_program(IDSTAMP_NODE NAMES node nodejs DOC "Node.js, for the token debugger page")
set(node_major 0)
if(IDSTAMP_NODE)
  execute_process(COMMAND ${IDSTAMP_NODE} -p "process.versions.node.split('.')[0]"
    OUTPUT_VARIABLE node_major OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT node_major MATCHES "^[0-9]+$")
    set(node_major 0)
  endif()
endif()
if(node_major LESS 18)
  set(why "no Node.js 18 or later was found (IDSTAMP_NODE: ${IDSTAMP_NODE}, major version ${node_major})")
  if(IDSTAMP_DEBUGGER_PAGE STREQUAL "ON")
    message(FATAL_ERROR "IDSTAMP_DEBUGGER_PAGE is ON, but ${why}: install nodejs")
  endif()
  message(STATUS "The token debugger page idstamp-debugger.html is left out: ${why}")
  return()
endif()

set(page ${PROJECT_BINARY_DIR}/web/idstamp-debugger.html)
add_custom_command(OUTPUT ${page}
  COMMAND ${IDSTAMP_NODE} ${PROJECT_SOURCE_DIR}/web/build.mjs ${PROJECT_BINARY_DIR}/web
  DEPENDS ${PROJECT_SOURCE_DIR}/web/build.mjs ${PROJECT_SOURCE_DIR}/web/debugger.html
          ${PROJECT_SOURCE_DIR}/web/debugger.css ${PROJECT_SOURCE_DIR}/web/debugger.mjs
          ${PROJECT_SOURCE_DIR}/web/core.mjs
          ${PROJECT_SOURCE_DIR}/js/index.js ${PROJECT_SOURCE_DIR}/js/package.json
          ${PROJECT_SOURCE_DIR}/js/tools/build-cjs.mjs
  COMMENT "Building the token debugger page with Node.js ${node_major}"
  VERBATIM)
add_custom_target(debugger_page ALL DEPENDS ${page})
if(IDSTAMP_INSTALL)
  if(WIN32)
    install(FILES ${page} DESTINATION . COMPONENT runtime)
  else()
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_DATADIR}/idstamp COMPONENT runtime)
  endif()
endif()
