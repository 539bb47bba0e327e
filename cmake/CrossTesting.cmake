# Helpers for tests in cross builds, where the built programs run under an
# emulator (CMAKE_CROSSCOMPILING_EMULATOR).

# quadsolve_test_program(<target> <variable>)
# Sets <variable> to a path by which a test starts the built program <target>
# with execv(): the program itself, or, in a cross build for another Linux
# machine, a small shell script beside the test that starts it under the
# emulator (a test running under qemu-user cannot execute a program of its
# own machine directly: no binfmt handler is registered). A Windows test
# under wine starts a Windows program itself, so there it is the program.
function(quadsolve_test_program target variable)
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR AND NOT WIN32)
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${target}-under-emulator")
    set(words "")
    foreach(word IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
      string(APPEND words "'${word}' ")
    endforeach()
    file(GENERATE OUTPUT "${script}"
         CONTENT "#!/bin/sh\nexec ${words}'$<TARGET_FILE:${target}>' \"$@\"\n"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
    set(${variable} "${script}" PARENT_SCOPE)
  else()
    set(${variable} "$<TARGET_FILE:${target}>" PARENT_SCOPE)
  endif()
endfunction()

# The command line that runs the built program <target> from a shell script
# or an add_test(COMMAND sh ...): the emulator's words, then the program.
function(quadsolve_emulated_command target variable)
  if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
    set(${variable} ${CMAKE_CROSSCOMPILING_EMULATOR} "$<TARGET_FILE:${target}>" PARENT_SCOPE)
  else()
    set(${variable} "$<TARGET_FILE:${target}>" PARENT_SCOPE)
  endif()
endfunction()
