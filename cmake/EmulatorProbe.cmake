# idstamp_emulator_runs(<var> <reason_var>): sets <var> to TRUE when this
# cross build's CMAKE_CROSSCOMPILING_EMULATOR runs a program made by the same
# toolchain, as told by its exit status; otherwise to FALSE, with the reason
# in <reason_var>. Some machines have the emulator installed but cannot run
# the target's width (a kernel without 32-bit support makes wine fail with
# "Exec format error"), so having one is not enough to add the tests that
# run under it.
function(idstamp_emulator_runs out reason)
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(${out} FALSE PARENT_SCOPE)
    set(${reason} "no emulator was found to run them (for Windows: wine with wine32:i386, or wine64)"
        PARENT_SCOPE)
    return()
  endif()
  try_run(run_status compiled ${CMAKE_CURRENT_BINARY_DIR}/emulator_probe
          ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/emulator_probe.cc
          COMPILE_OUTPUT_VARIABLE compile_output RUN_OUTPUT_VARIABLE run_output)
  if(NOT compiled)
    message(FATAL_ERROR "The toolchain cannot build the emulator probe:\n${compile_output}")
  endif()
  if(run_status STREQUAL "42")
    set(${out} TRUE PARENT_SCOPE)
  else()
    string(STRIP "${run_output}" run_output)
    string(REGEX REPLACE "\n.*" "" run_output "${run_output}")  # its first line
    if(run_output)
      set(run_output ": ${run_output}")
    endif()
    set(${out} FALSE PARENT_SCOPE)
    set(${reason} "${CMAKE_CROSSCOMPILING_EMULATOR} does not run this build's programs (the probe's status was ${run_status}, not 42${run_output})"
        PARENT_SCOPE)
  endif()
endfunction()
