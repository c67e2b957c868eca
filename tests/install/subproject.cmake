# A parent project with idstamp as a subdirectory keeps its own build type
# (or none), builds and runs a program against idstamp::idstamp, and
# installs only what it installs itself: none of our tests, files or package.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DCXX=... -DCC=... -P subproject.cmake
file(REMOVE_RECURSE ${WORK_DIR})

include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)

function(cached_build_type build)  # sets `type` to the cache's CMAKE_BUILD_TYPE
  file(STRINGS ${build}/CMakeCache.txt line REGEX "^CMAKE_BUILD_TYPE:")
  string(REGEX REPLACE "^[^=]*=" "" value "${line}")
  set(type "${value}" PARENT_SCOPE)
endfunction()

foreach(parent_type Debug "")
  set(build ${WORK_DIR}/build${parent_type})
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/subproject -B ${build}
      -DIDSTAMP_SOURCE_DIR=${SOURCE_DIR} -DCMAKE_CXX_COMPILER=${CXX}
      -DCMAKE_BUILD_TYPE=${parent_type})
  cached_build_type(${build})
  if(NOT type STREQUAL "${parent_type}")
    message(FATAL_ERROR "the parent's build type '${parent_type}' became '${type}'")
  endif()
endforeach()

set(build ${WORK_DIR}/buildDebug)
run(${CMAKE_COMMAND} --build ${build})
run(${build}/parent "id from a parent project")
run(${CMAKE_COMMAND} --install ${build} --prefix ${WORK_DIR}/prefix)
file(GLOB_RECURSE installed RELATIVE ${WORK_DIR}/prefix ${WORK_DIR}/prefix/*)
if(NOT installed STREQUAL "bin/parent")
  message(FATAL_ERROR "the parent's install holds more than its own program: ${installed}")
endif()
run(${CMAKE_CTEST_COMMAND} --test-dir ${build} -N)
if(NOT last_output MATCHES "Total Tests: 0")
  message(FATAL_ERROR "the parent's build registered our tests:\n${last_output}")
endif()

# A parent that compiles only C takes idstamp in all the same.
set(build ${WORK_DIR}/c_parent)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/c_project -B ${build}
    -DIDSTAMP_SOURCE_DIR=${SOURCE_DIR} -DCMAKE_C_COMPILER=${CC})
run(${CMAKE_COMMAND} --build ${build})
run(${build}/capp "id from a C parent")
message(STATUS "parent project: build type kept, nothing of ours installed or tested; "
               "a C-only parent links idstamp::idstamp")
