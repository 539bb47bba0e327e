# GoogleTest for cross builds: Debian ships its sources in /usr/src/googletest
# (package libgtest-dev), but prebuilt libraries only for the host. The cross
# toolchain files point GTest_DIR here, so the tests' find_package(GTest)
# compiles GoogleTest with the target's compiler as part of the build.
set(_quadsolveGoogletestSource "/usr/src/googletest")
if(NOT EXISTS "${_quadsolveGoogletestSource}/CMakeLists.txt")
  set(GTest_FOUND FALSE)
  set(GTest_NOT_FOUND_MESSAGE "GoogleTest sources not found in ${_quadsolveGoogletestSource} (install libgtest-dev)")
  return()
endif()

if(NOT TARGET GTest::gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory("${_quadsolveGoogletestSource}" "${CMAKE_BINARY_DIR}/_googletest" EXCLUDE_FROM_ALL)
  # GoogleTest is not held to the project's warning flags.
  foreach(_target gtest gtest_main gmock gmock_main)
    if(TARGET ${_target})
      set_property(TARGET ${_target} PROPERTY COMPILE_OPTIONS "-w")
    endif()
  endforeach()
endif()

set(GTest_VERSION 1.12.1)
set(GTest_FOUND TRUE)
