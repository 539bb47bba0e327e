# The `package` preset: the release program built for every platform (for the
# web: the WebAssembly programs and the page), each in a build tree of its own
# (build/package/<platform>) with its toolchain, and packaged there by CPack
# (cmake/Packaging.cmake); the packages and archives are then gathered in
# build/package/. QUADSOLVE_PACKAGE_PLATFORMS chooses the platforms (default:
# all of them).
include(ExternalProject)

# The RPM packages of the Linux builds are made by rpmbuild (Debian package
# rpm), which a platform's build tree only warns about when it is missing.
find_program(QUADSOLVE_RPMBUILD rpmbuild)
if(NOT QUADSOLVE_RPMBUILD)
  message(FATAL_ERROR "rpmbuild not found: the RPM packages need it (Debian package rpm)")
endif()

set(QUADSOLVE_PACKAGE_PLATFORMS amd64 arm64 s390x armhf riscv64 ppc64el win32 win64 web
    CACHE STRING "The platforms that the package preset builds and packages")

# The toolchain file of each platform (none: this machine's compiler).
set(toolchain_amd64 "")
set(toolchain_arm64 toolchain-aarch64.cmake)
set(toolchain_s390x toolchain-s390x.cmake)
set(toolchain_armhf toolchain-armhf.cmake)
set(toolchain_riscv64 toolchain-riscv64.cmake)
set(toolchain_ppc64el toolchain-ppc64le.cmake)
set(toolchain_win32 toolchain-mingw-i686.cmake)
set(toolchain_win64 toolchain-mingw-x86_64.cmake)
set(toolchain_web toolchain-wasi.cmake)

set(gather "${CMAKE_BINARY_DIR}/gather-packages.cmake")
file(WRITE "${gather}" [=[
# Copies the packages that cpack made in the build tree `from` to `to`.
file(GLOB made "${from}/packages/*.deb" "${from}/packages/*.rpm" "${from}/packages/*.tar.gz"
     "${from}/packages/*.zip")
file(COPY ${made} DESTINATION "${to}")
]=])

set(withUmask "${CMAKE_BINARY_DIR}/with-umask-022.sh")
file(WRITE "${withUmask}" "umask 022 && exec \"$@\"\n")

foreach(platform IN LISTS QUADSOLVE_PACKAGE_PLATFORMS)
  if(NOT DEFINED toolchain_${platform})
    message(FATAL_ERROR "unknown platform ${platform} in QUADSOLVE_PACKAGE_PLATFORMS")
  endif()
  set(arguments -DCMAKE_BUILD_TYPE=Release)
  if(toolchain_${platform})
    list(APPEND arguments
         -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain_${platform}})
  endif()
  set(tree "${CMAKE_BINARY_DIR}/${platform}")
  ExternalProject_Add(package-${platform}
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${tree}"
    CMAKE_ARGS ${arguments}
    BUILD_ALWAYS ON
    # CPack with the umask 022, so that the packages' members have the same
    # modes whatever the umask of the build.
    INSTALL_COMMAND sh "${withUmask}" ${CMAKE_CPACK_COMMAND} --config "${tree}/CPackConfig.cmake"
    COMMAND ${CMAKE_COMMAND} -Dfrom=${tree} -Dto=${CMAKE_BINARY_DIR} -P "${gather}"
    LOG_CONFIGURE ON
    LOG_INSTALL ON
    LOG_OUTPUT_ON_FAILURE ON
  )
endforeach()
