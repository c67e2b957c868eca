# Installs a build tree into a fresh prefix, moves the prefix elsewhere (an
# installed tree is relocatable), and builds against it: the C++ example
# with find_package; the C example from a C-only CMake project, with each
# library target installed; and the C example with nothing but the C
# compiler and pkg-config, through idstamp.pc and, beside a static library,
# idstamp-static.pc, whose program must need no libidstamp.so. All use the
# compilers and link flags the tree was built with (a sanitizer build's
# library needs its runtime), and all run.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DCXX=... -DCC=... -DSHARED=ON|OFF
#         [-DPKG_CONFIG=...] [-DCXX_FLAGS=...] [-DLINK_FLAGS=...] -P consumer.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/moved)

include(${CMAKE_CURRENT_LIST_DIR}/run.cmake)

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/installed)
file(RENAME ${WORK_DIR}/installed ${prefix})
foreach(file bin/idstamp bin/idstamp-inspect share/man/man1/idstamp.1
             share/man/man1/idstamp-inspect.1 include/idstamp/token_codec.h
             include/idstamp/token_format.h
             include/idstamp/date_ticks.h include/idstamp/idstamp.h include/idstamp/export.h
             include/idstamp/version.h)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
foreach(internal cli.h core.h scramble.h token_layout.h decimal.h words.h local_clock.h)
  if(EXISTS ${prefix}/include/idstamp/${internal})
    message(FATAL_ERROR "an internal header is installed: ${internal}")
  endif()
endforeach()
file(GLOB_RECURSE config ${prefix}/*/idstampConfig.cmake ${prefix}/*/idstampConfigVersion.cmake)
list(LENGTH config found)
if(NOT found EQUAL 2)
  message(FATAL_ERROR "CMake package not installed: ${config}")
endif()
file(GLOB_RECURSE pc_file ${prefix}/*idstamp.pc)
if(NOT pc_file)
  message(FATAL_ERROR "idstamp.pc not installed")
endif()
get_filename_component(pc_dir ${pc_file} DIRECTORY)
get_filename_component(libdir ${pc_dir} DIRECTORY)

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir}
    ${WORK_DIR}/build/consumer "id from the C++ consumer")
message(STATUS "${last_output}")

# needs_shared_library(PROGRAM): sets `needs` when PROGRAM loads libidstamp.so.
function(needs_shared_library program)
  execute_process(COMMAND readelf -d ${program} OUTPUT_VARIABLE dynamic)
  string(FIND "${dynamic}" "libidstamp.so" at)
  if(at GREATER -1)
    set(needs TRUE PARENT_SCOPE)
  else()
    set(needs FALSE PARENT_SCOPE)
  endif()
endfunction()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install/c_project -B ${WORK_DIR}/c_build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_C_COMPILER=${CC} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_C_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/c_build)
foreach(program capp capp_static)
  if(EXISTS ${WORK_DIR}/c_build/${program})
    run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${WORK_DIR}/c_build/${program} "C via CMake")
    message(STATUS "${program}: ${last_output}")
  endif()
endforeach()
if(SHARED AND NOT EXISTS ${WORK_DIR}/c_build/capp_static)
  message(STATUS "no idstamp::idstamp_static in this install")
endif()

if(NOT PKG_CONFIG)
  message(STATUS "no pkg-config: the C consumer is not built")
  return()
endif()
separate_arguments(link_flags UNIX_COMMAND "${LINK_FLAGS}")
foreach(pc idstamp idstamp-static)
  if(NOT EXISTS ${pc_dir}/${pc}.pc)
    continue()
  endif()
  run(${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pc_dir} ${PKG_CONFIG} --cflags --libs ${pc})
  string(STRIP "${last_output}" flags)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  message(STATUS "pkg-config --cflags --libs ${pc}: ${flags}")
  set(program ${WORK_DIR}/c_${pc})
  run(${CC} -std=c99 -Wall -Werror ${SOURCE_DIR}/examples/c/main.c -o ${program} ${flags}
      ${link_flags})
  run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${libdir} ${program} "id from C")
  message(STATUS "${last_output}")
  needs_shared_library(${program})
  if(pc STREQUAL "idstamp-static" AND needs)
    message(FATAL_ERROR "a program linked through idstamp-static.pc loads libidstamp.so")
  endif()
endforeach()
