# Installs a build tree into a fresh prefix, builds the consumer example
# against it, with the compiler and flags the tree was built with (a
# sanitizer build's library needs its runtime), and runs it.
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DCXX=... \
#         [-DCXX_FLAGS=...] [-DLINK_FLAGS=...] -P consumer.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGV}\n${out}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(file bin/idstamp share/man/man1/idstamp.1 include/idstamp/token_codec.h
             include/idstamp/date_ticks.h)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB_RECURSE config ${prefix}/*/idstampConfig.cmake ${prefix}/*/idstampConfigVersion.cmake)
list(LENGTH config found)
if(NOT found EQUAL 2)
  message(FATAL_ERROR "CMake package not installed: ${config}")
endif()

run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer "id from the consumer")
message(STATUS "${last_output}")
