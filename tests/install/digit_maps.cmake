# Builds of the tool with the same digit map exchange tokens; builds with
# another map do not; maps that are not a permutation fail to compile, with
# a message that names the setting.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DCXX=... -DTOOL=... -DMAP=... -P digit_maps.cmake
file(REMOVE_RECURSE ${WORK_DIR})

function(configure name map)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${WORK_DIR}/${name}
                          -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
                          -DIDSTAMP_BUILD_TESTS=OFF "-DIDSTAMP_DIGIT_MAP=${map}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(status ${status} PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
endfunction()

function(build name map)
  configure(${name} "${map}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "configure with ${map} failed:\n${out}")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/${name} --target idstamp_cli
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "build with ${map} failed:\n${out}")
  endif()
endfunction()

function(tool binary)  # sets `printed` to what the tool printed
  execute_process(COMMAND ${binary} ${ARGN} OUTPUT_VARIABLE out RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${binary} ${ARGN} exited ${status}")
  endif()
  set(printed "${out}" PARENT_SCOPE)
endfunction()

foreach(bad "123456789" "01234567890" "1123456789" "012345678a" " 123456789" "")
  execute_process(COMMAND ${CXX} -std=c++17 -fsyntax-only -x c++ -I${SOURCE_DIR}/src
                          "-DIDSTAMP_DIGIT_MAP=\"${bad}\"" ${SOURCE_DIR}/src/token/digit_maps.h
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(status EQUAL 0 OR NOT out MATCHES "IDSTAMP_DIGIT_MAP must be ten digits")
    message(FATAL_ERROR "the map \"${bad}\" was not refused clearly:\n${out}")
  endif()
endforeach()

# Another map: the same one turned by one place.
string(SUBSTRING "${MAP}" 1 9 tail)
string(SUBSTRING "${MAP}" 0 1 head)
build(same "${MAP}")
build(other "${tail}${head}")

set(id "exchange 0123456789")
tool(${TOOL} -i "${id}" -c)
string(STRIP "${printed}" token)
tool(${WORK_DIR}/same/idstamp -i "${token}" -d)
if(NOT printed STREQUAL "${id}\n")
  message(FATAL_ERROR "a build with the same map refused the token ${token}: '${printed}'")
endif()
tool(${WORK_DIR}/other/idstamp -i "${token}" -d)
if(NOT printed STREQUAL "")
  message(FATAL_ERROR "a build with another map accepted ${token}: '${printed}'")
endif()
tool(${WORK_DIR}/other/idstamp -i "${id}" -c)
string(STRIP "${printed}" other_token)
tool(${TOOL} -i "${other_token}" -d)
if(NOT printed STREQUAL "")
  message(FATAL_ERROR "a token of another map was accepted: ${other_token}")
endif()
message(STATUS "same map: accepted ${token}; other map (${tail}${head}): refused both ways")
