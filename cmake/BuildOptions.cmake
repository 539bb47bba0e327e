# The project's own compile and link options, given target by target to the
# targets that its folders define: never to GoogleTest's (a cross build
# compiles it from its sources) nor to a parent project's.
#
#   warnings                 -Wall -Wextra -Wpedantic -Wshadow, and -Werror
#                            when QUADSOLVE_WARNINGS_AS_ERRORS is on: the
#                            development and CI presets set it, so that a
#                            build from source with a newer compiler does not
#                            stop at that compiler's new warnings
#   QUADSOLVE_SANITIZE       AddressSanitizer and UndefinedBehaviorSanitizer
#   QUADSOLVE_THREAD_SANITIZE  ThreadSanitizer (the tsan preset: the
#                            library's thread test)
#   release builds           the source and build folders named as under
#                            /usr/src/quadsolve in what the compiler writes
#                            (debug information, file names), so that the
#                            program is the same bytes from any clone
#   include folder           the top of the source tree: every header is
#                            included by its folder, "textio/text_stream.h"
#
# The hardening of the product's own code (compile options that only its
# targets get, through product_code_options) is in
# quadsolve_use_hardening_options below.
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH QUADSOLVE_SOURCE_ROOT)
set(QUADSOLVE_SOURCE_PREFIX /usr/src/quadsolve)

# quadsolve_use_build_options(<folder>)
# Gives the options to every target defined in <folder> and in the folders
# below it that belong to this source tree. Called once, after the last
# add_subdirectory. The options go before a target's own, as a folder's
# options would, so that a target can still turn one off (-fno-sanitize=all).
function(quadsolve_use_build_options folder)
  set(compileOptions -Wall -Wextra -Wpedantic -Wshadow)
  set(linkOptions "")
  if(QUADSOLVE_WARNINGS_AS_ERRORS)
    list(APPEND compileOptions -Werror)
  endif()
  if(QUADSOLVE_SANITIZE)
    list(APPEND compileOptions
         -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    list(APPEND linkOptions -fsanitize=address,undefined -fno-sanitize-recover=all)
  endif()
  if(QUADSOLVE_THREAD_SANITIZE)
    list(APPEND compileOptions -fsanitize=thread)
    list(APPEND linkOptions -fsanitize=thread)
  endif()
  list(APPEND compileOptions
       $<$<CONFIG:Release>:-ffile-prefix-map=${QUADSOLVE_SOURCE_ROOT}=${QUADSOLVE_SOURCE_PREFIX}>
       $<$<CONFIG:Release>:-ffile-prefix-map=${PROJECT_BINARY_DIR}=${QUADSOLVE_SOURCE_PREFIX}/build>)

  get_property(targets DIRECTORY "${folder}" PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_compile_options(${target} BEFORE PRIVATE ${compileOptions})
      target_link_options(${target} BEFORE PRIVATE ${linkOptions})
      target_include_directories(${target} PRIVATE "${QUADSOLVE_SOURCE_ROOT}")
    endif()
  endforeach()

  get_property(subfolders DIRECTORY "${folder}" PROPERTY SUBDIRECTORIES)
  foreach(subfolder IN LISTS subfolders)
    cmake_path(IS_PREFIX QUADSOLVE_SOURCE_ROOT "${subfolder}" NORMALIZE ours)
    if(ours)
      quadsolve_use_build_options("${subfolder}")
    endif()
  endforeach()
endfunction()

# quadsolve_use_hardening_options(<interface-target>)
# The compile options with which the distributions build their own programs,
# for the product's code (every library of it and the program body):
#   -fstack-protector-strong   a guard word below the return address of every
#                              function with an array or a local whose address
#                              is taken, checked before it returns
#   -fstack-clash-protection   a large stack frame is touched page by page, so
#                              that it cannot jump over the stack's guard gap
#                              (Linux, where the compiler has it for the
#                              processor; Windows grows a stack through its
#                              own probes, and under wine the option's probes
#                              kept a 64-bit program's stack overflow from
#                              reaching its handler)
#   -fPIE                      position-independent code (Linux): the program
#                              is loaded at a random address on every run
#   -fcf-protection=full       x86-64: indirect-branch targets marked for the
#                              processor's branch tracking (and the program
#                              marked as ready for a shadow stack)
#   -mbranch-protection=standard
#                              64-bit ARM: branch-target identification and
#                              return addresses signed with pointer
#                              authentication
# Where the guard lives (a variable, or a word at the thread pointer) is each
# processor's default, as the C library expects it: the program linked
# without the C library provides that place itself (platform/linux_start.cpp).
function(quadsolve_use_hardening_options target)
  # WebAssembly needs none of them: return addresses and the call stack lie
  # outside the module's memory, where no store can reach them; code is not
  # memory at all, and an indirect call is checked against its type.
  if(WASI)
    return()
  endif()
  include(CheckCXXCompilerFlag)
  set(options -fstack-protector-strong)
  if(NOT WIN32)
    check_cxx_compiler_flag("-fstack-clash-protection -Werror"
                            QUADSOLVE_HAS_STACK_CLASH_PROTECTION)
    if(QUADSOLVE_HAS_STACK_CLASH_PROTECTION)
      list(APPEND options -fstack-clash-protection)
    endif()
    list(APPEND options -fPIE)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
      list(APPEND options -fcf-protection=full)
    elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
      list(APPEND options -mbranch-protection=standard)
    endif()
  endif()
  target_compile_options(${target} INTERFACE ${options})
endfunction()
