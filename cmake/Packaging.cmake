# What `cmake --install` puts where, and the packages that CPack makes from
# it (`cpack` in a release build tree, or the `package` preset for every
# platform at once):
#   Linux    install into a prefix: bin/quadsolve and bin/quadsolve-batch
#            (stripped), their manual pages,
#            share/doc/quadsolve/{README.md,LICENSE};
#            quadsolve_<version>_<arch>.deb: /usr/bin/quadsolve,
#            /usr/bin/quadsolve-batch, the manual pages and what only a Debian
#            package has,
#            /usr/share/doc/quadsolve/{copyright,changelog.gz} and the lintian
#            overrides;
#            quadsolve-dbgsym_<version>_<arch>.deb: the program's debug
#            information under /usr/lib/debug/.build-id/, for addr2line;
#            quadsolve-<version>-1.<arch>.rpm (x86_64, aarch64, s390x, ppc64le):
#            both programs, the manual pages, README.md and LICENSE in
#            /usr/share/doc/quadsolve/ (marked as documentation and
#            licence), with the Debian changelog in RPM's form;
#            quadsolve-debuginfo-<version>-1.<arch>.rpm: the debug files, as
#            in the dbgsym package;
#            quadsolve-<version>-linux-<arch>.tar.gz: what the installation
#            into a prefix holds, in the folder quadsolve-<version>-linux-<arch>
#   Windows  quadsolve-<version>-win32.zip (win64: a 64-bit build):
#            quadsolve.exe, quadsolve-batch.exe, README.md, LICENSE
#   WASI     quadsolve-<version>-web.tar.gz: quadsolve.wasm,
#            quadsolve-batch.wasm, the page (web/), README.md and LICENSE, in
#            the folder quadsolve-<version>-web, ready for a static file server
# The version is the project's (CMakeLists.txt). The packages are the same
# bytes from any clone of the same commit: the archives' times are the last
# commit's (SOURCE_DATE_EPOCH), the modes of their members those of the umask
# 022, which cpack requires, the compiled paths the same (-ffile-prefix-map,
# cmake/BuildOptions.cmake), and rpmbuild writes a fixed build host and the
# commit's time as the build time.
include(GNUInstallDirs)

set(QUADSOLVE_MAINTAINER "The quadsolve developers <quadsolve@example.org>"
    CACHE STRING "Name and mail address in the packages' Maintainer field and changelog")

# ---------------------------------------------------------------------------
# Files made from the sources: the manual page with the project's version,
# and, for Debian, the copyright file (machine-readable, with the licence
# text of LICENSE) and the changelog; compressed as Debian wants (gzip -9n:
# no name or time in the header). The RPM changelog is the Debian one.
set(packagingDir "${PROJECT_BINARY_DIR}/packaging")
set(programs quadsolve quadsolve-batch)
foreach(program IN LISTS programs)
  file(READ "${PROJECT_SOURCE_DIR}/doc/${program}.1" manualPage)
  string(REGEX REPLACE "\"quadsolve [0-9][0-9.]*\"" "\"quadsolve ${PROJECT_VERSION}\"" manualPage
         "${manualPage}")
  file(CONFIGURE OUTPUT "${packagingDir}/${program}.1" CONTENT "${manualPage}" @ONLY)
endforeach()

if(NOT WIN32 AND NOT WASI)
  configure_file("${PROJECT_SOURCE_DIR}/packaging/changelog.in" "${packagingDir}/changelog" @ONLY)

  # The release number of the RPM packages: the version is the project's.
  set(rpmRelease 1)
  # In RPM's form each entry starts with a line "* Mon Dec 07 2026 Name
  # <address> - version-release" and its items follow as "- text" (further
  # lines indented by two spaces); Debian's has the version above the items
  # and the name and date below them.
  file(STRINGS "${packagingDir}/changelog" debianChangelog)
  set(rpmChangelog "")
  foreach(line IN LISTS debianChangelog)
    if(line MATCHES "^quadsolve \\(([^)]+)\\)")
      set(entryVersion "${CMAKE_MATCH_1}")
      set(entryItems "")
    elseif(line MATCHES "^  \\* (.*)")
      string(APPEND entryItems "- ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^    (.*)")
      string(APPEND entryItems "  ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^ -- (.+)  ([A-Z][a-z][a-z]), ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9]+) ")
      string(APPEND rpmChangelog "* ${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${CMAKE_MATCH_3} "
             "${CMAKE_MATCH_5} ${CMAKE_MATCH_1} - ${entryVersion}-${rpmRelease}\n${entryItems}\n")
    endif()
  endforeach()
  file(WRITE "${packagingDir}/changelog.rpm" "${rpmChangelog}")

  # The licence paragraph: its text indented by one space, blank lines as " .".
  file(STRINGS "${PROJECT_SOURCE_DIR}/LICENSE" licenseLines)
  list(REMOVE_AT licenseLines 0 1 2 3)  # the title, the copyright line and the blank lines around it
  set(licenseText "")
  foreach(line IN LISTS licenseLines)
    if(line STREQUAL "")
      string(APPEND licenseText " .\n")
    else()
      string(APPEND licenseText " ${line}\n")
    endif()
  endforeach()
  configure_file("${PROJECT_SOURCE_DIR}/packaging/copyright.in" "${packagingDir}/copyright" @ONLY)
  file(APPEND "${packagingDir}/copyright" "\nLicense: Expat\n${licenseText}")

  set(compressed "")
  foreach(file quadsolve.1 quadsolve-batch.1 changelog)
    add_custom_command(OUTPUT "${packagingDir}/${file}.gz"
      COMMAND gzip -9nc "${packagingDir}/${file}" > "${packagingDir}/${file}.gz"
      DEPENDS "${packagingDir}/${file}"
      COMMENT "Compressing ${file}")
    list(APPEND compressed "${packagingDir}/${file}.gz")
  endforeach()
  add_custom_target(compressed_documents ALL DEPENDS ${compressed})

  # The installed programs are stripped as Debian does it (no symbols, no
  # .comment section) and name their debug information, which is kept apart
  # in <program>.debug (for the debug package) with the program's build ID.
  # The programs in the build tree keep everything.
  set(strippedPrograms "")
  set(debugFiles "")
  foreach(program IN LISTS programs)
    set(strippedProgram "${packagingDir}/${program}")
    set(debugFile "${packagingDir}/${program}.debug")
    add_custom_command(OUTPUT "${strippedProgram}" "${debugFile}"
      COMMAND "${CMAKE_OBJCOPY}" --only-keep-debug "$<TARGET_FILE:${program}>" "${debugFile}"
      COMMAND "${CMAKE_OBJCOPY}" --strip-all --remove-section=.comment
              --add-gnu-debuglink=${program}.debug "$<TARGET_FILE:${program}>" "${strippedProgram}"
      DEPENDS ${program}
      WORKING_DIRECTORY "${packagingDir}"
      COMMENT "Splitting ${program}'s debug information off")
    list(APPEND strippedPrograms "${strippedProgram}")
    list(APPEND debugFiles "${debugFile}")
  endforeach()
  add_custom_target(stripped_program ALL DEPENDS ${strippedPrograms} ${debugFiles})
endif()

# ---------------------------------------------------------------------------
# Installation: components `program` and `documentation`; `dbgsym`, the debug
# information, and `debian` and `debian_dbgsym`, the files that only the two
# Debian packages have, are installed only into their packages.
# Directories made by the installation are 0755 whatever the umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(WIN32)
  install(TARGETS ${programs} RUNTIME DESTINATION . COMPONENT program)
  install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION .
          COMPONENT program)
elseif(WASI)
  # Files that a web server serves, not programs to run: no execute bits.
  foreach(program IN LISTS programs)
    install(FILES $<TARGET_FILE:${program}> DESTINATION . COMPONENT program)
  endforeach()
  install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION .
          COMPONENT program)
else()
  install(PROGRAMS ${strippedPrograms} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
  install(FILES "${packagingDir}/quadsolve.1.gz" "${packagingDir}/quadsolve-batch.1.gz"
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
  install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${PROJECT_SOURCE_DIR}/LICENSE"
          DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT documentation)
  install(FILES "${packagingDir}/copyright" "${packagingDir}/changelog.gz"
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quadsolve
          COMPONENT debian EXCLUDE_FROM_ALL)
  # For lintian: the statically linked program is meant (reasons in the file).
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/lintian-overrides"
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME quadsolve
          COMPONENT debian EXCLUDE_FROM_ALL)
  # Each debug file under its build ID, where gdb and debuginfod look for it:
  # lib/debug/.build-id/<first two hex digits>/<the rest>.debug.
  foreach(debugFile IN LISTS debugFiles)
    set(installDebugFile [=[
      execute_process(COMMAND "@CMAKE_READELF@" -n "@debugFile@" OUTPUT_VARIABLE notes
                      COMMAND_ERROR_IS_FATAL ANY)
      if(NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
        message(FATAL_ERROR "@debugFile@ has no build ID")
      endif()
      file(INSTALL "@debugFile@"
           DESTINATION "${CMAKE_INSTALL_PREFIX}/lib/debug/.build-id/${CMAKE_MATCH_1}"
           RENAME "${CMAKE_MATCH_2}.debug"
           PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    ]=])
    string(CONFIGURE "${installDebugFile}" installDebugFile @ONLY)
    install(CODE "${installDebugFile}" COMPONENT dbgsym EXCLUDE_FROM_ALL)
  endforeach()
  install(FILES "${packagingDir}/copyright" "${packagingDir}/changelog.gz"
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quadsolve-dbgsym
          COMPONENT debian_dbgsym EXCLUDE_FROM_ALL)
endif()

# ---------------------------------------------------------------------------
# Packages.
set(CPACK_PACKAGE_NAME quadsolve)
set(CPACK_PACKAGE_VENDOR "The quadsolve developers")
set(CPACK_PACKAGE_CONTACT "${QUADSOLVE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "solve one quadratic equation read from standard input")
set(CPACK_PACKAGE_DESCRIPTION
    "quadsolve reads the three coefficients of a quadratic equation from standard
input and writes an outcome code and the real roots, with two decimals. All
arithmetic is done in 80-bit extended precision by an exact software model,
and numbers are read and written by the program's own rules, so the same
input gives the same output bytes and exit code on every machine. Failures
end the program with a numbered run-time error. quadsolve-batch answers a
whole file of equations, one a line, with the bytes that quadsolve gives for
each.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")

# What cpack does first (CPACK_PROJECT_CONFIG_FILE). It refuses any umask but
# 022: CPack takes the modes of a package's members, and of the parts of a
# .deb archive, from the files that it writes, which follow the umask, so the
# package would not be the same bytes (under 077 its folders would be 0700).
# And it sets the archives' times: those of the last commit, unless
# SOURCE_DATE_EPOCH is set already (when cpack runs, or else when the tree
# was configured); CPack reads it from its environment. git is asked when
# cpack runs, so that a build tree configured before the last commit still
# gives the packages of that commit. A zip archive holds the times in local
# time, so cpack runs in UTC: the zip is the same in every time zone.
set(QUADSOLVE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
set(packagingConfig "${packagingDir}/CPackProjectConfig.cmake")
file(CONFIGURE OUTPUT "${packagingConfig}" @ONLY CONTENT [=[
execute_process(COMMAND sh -c umask OUTPUT_VARIABLE umask OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT umask MATCHES "^0*22$")
  message(FATAL_ERROR
    "cpack runs with the umask ${umask}, and the package's files and folders "
    "would take their modes from it: the package would not be the same as one "
    "made with the umask 022. Run it as (umask 022 && cpack).")
endif()
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "@QUADSOLVE_SOURCE_DATE_EPOCH@")
  if(epoch STREQUAL "" AND EXISTS "@PROJECT_SOURCE_DIR@/.git")
    execute_process(COMMAND git -C "@PROJECT_SOURCE_DIR@" log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  endif()
endif()
set(ENV{TZ} UTC)
# The components of each kind of package. The archive is not made component
# by component: it holds what the installation into a prefix installs, the
# program and its documentation, in its folder, with its members in a fixed
# order (cmake/SortedArchive.cmake).
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL program debian dbgsym debian_dbgsym)
elseif(CPACK_GENERATOR STREQUAL "RPM")
  set(CPACK_COMPONENTS_ALL program documentation dbgsym)
  set(CPACK_PRE_BUILD_SCRIPTS "@PROJECT_SOURCE_DIR@/cmake/PackageTimes.cmake")
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  set(CPACK_PACKAGING_INSTALL_PREFIX "")
  set(CPACK_POST_BUILD_SCRIPTS "@PROJECT_SOURCE_DIR@/cmake/SortedArchive.cmake")
endif()
]=])
set(CPACK_PROJECT_CONFIG_FILE "${packagingConfig}")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "quadsolve-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "quadsolve-${PROJECT_VERSION}-win32")
  endif()
elseif(WASI)
  # The archive: the same for every machine that runs it.
  set(CPACK_GENERATOR TGZ)
  set(CPACK_PACKAGE_FILE_NAME "quadsolve-${PROJECT_VERSION}-web")
else()
  # The names of this build's processor (CMAKE_SYSTEM_PROCESSOR) in the
  # packages: Debian's architecture; RPM's, or - where no RPM package is made;
  # the archive's, the one that `uname -m` prints, but for 32-bit ARM armhf,
  # the build's name everywhere else (ARMv7 with its floating-point unit).
  #                                Debian  RPM     archive
  set(packageArchitectures_x86_64  amd64   x86_64  x86_64)
  set(packageArchitectures_aarch64 arm64   aarch64 aarch64)
  set(packageArchitectures_s390x   s390x   s390x   s390x)
  set(packageArchitectures_arm     armhf   -       armhf)
  set(packageArchitectures_riscv64 riscv64 -       riscv64)
  set(packageArchitectures_ppc64le ppc64el ppc64le ppc64le)
  if(DEFINED packageArchitectures_${CMAKE_SYSTEM_PROCESSOR})
    set(architectures ${packageArchitectures_${CMAKE_SYSTEM_PROCESSOR}})
  else()
    message(WARNING "no package architectures known for ${CMAKE_SYSTEM_PROCESSOR}: cpack asks "
                    "dpkg for this machine's, and makes no RPM package")
    set(architectures "" - ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  list(GET architectures 0 debianArchitecture)
  list(GET architectures 1 rpmArchitecture)
  list(GET architectures 2 archiveArchitecture)

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_PACKAGE_FILE_NAME "quadsolve-${PROJECT_VERSION}-linux-${archiveArchitecture}")

  # Two packages of each kind: the program's, of the components program and
  # debian or documentation (group quadsolve), and the debug information's,
  # of dbgsym and, for Debian, debian_dbgsym (group dbgsym). cpack's project
  # file chooses each kind's components.
  set(CPACK_COMPONENT_PROGRAM_GROUP quadsolve)
  set(CPACK_COMPONENT_DEBIAN_GROUP quadsolve)
  set(CPACK_COMPONENT_DOCUMENTATION_GROUP quadsolve)
  set(CPACK_COMPONENT_DBGSYM_GROUP dbgsym)
  set(CPACK_COMPONENT_DEBIAN_DBGSYM_GROUP dbgsym)
  set(debugDescription
      "The debug symbols of quadsolve: the debug information of /usr/bin/quadsolve
and /usr/bin/quadsolve-batch under their build IDs, so that a debugger or
addr2line can name the source line of an address, such as the one in a
run-time error message.")

  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION math)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${debianArchitecture}")
  # The program is linked statically: it depends on no other package.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_QUADSOLVE_PACKAGE_NAME quadsolve)
  set(CPACK_DEBIAN_DBGSYM_PACKAGE_NAME quadsolve-dbgsym)
  set(CPACK_DEBIAN_DBGSYM_PACKAGE_SECTION debug)
  set(CPACK_DEBIAN_DBGSYM_PACKAGE_DEPENDS "quadsolve (= ${PROJECT_VERSION})")
  # (CPack puts the summary above each component's description.)
  set(CPACK_DEBIAN_QUADSOLVE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_DEBIAN_DBGSYM_DESCRIPTION "${debugDescription}")

  find_program(QUADSOLVE_RPMBUILD rpmbuild)
  if(NOT rpmArchitecture STREQUAL "-" AND NOT QUADSOLVE_RPMBUILD)
    message(STATUS "No rpmbuild (Debian package rpm): cpack makes the Debian packages "
                   "and the archive, no RPM package")
  elseif(NOT rpmArchitecture STREQUAL "-")
    list(APPEND CPACK_GENERATOR RPM)
  endif()
  set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
  set(CPACK_RPM_PACKAGE_ARCHITECTURE "${rpmArchitecture}")
  set(CPACK_RPM_PACKAGE_RELEASE ${rpmRelease})
  set(CPACK_RPM_PACKAGE_LICENSE MIT)
  # (The distributions' groups of old; rpmlint wants one.)
  set(CPACK_RPM_PACKAGE_GROUP Applications/Engineering)
  # The program is linked statically and loads itself: it requires nothing.
  # (rpmbuild would otherwise take its position-independent file for one
  # that a dynamic loader loads, and require rtld(GNU_HASH).)
  set(CPACK_RPM_PACKAGE_AUTOREQ no)
  # Installed where it was built for (/usr), as the distributions' packages.
  set(CPACK_PACKAGE_RELOCATABLE OFF)
  set(CPACK_RPM_CHANGELOG_FILE "${packagingDir}/changelog.rpm")
  set(CPACK_RPM_COMPONENT_INSTALL ON)
  set(CPACK_RPM_QUADSOLVE_PACKAGE_NAME quadsolve)
  set(CPACK_RPM_DBGSYM_PACKAGE_NAME quadsolve-debuginfo)
  # An RPM summary starts with a capital letter.
  string(SUBSTRING "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" 0 1 initial)
  string(SUBSTRING "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}" 1 -1 rest)
  string(TOUPPER "${initial}" initial)
  set(CPACK_RPM_PACKAGE_SUMMARY "${initial}${rest}")
  set(CPACK_RPM_QUADSOLVE_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
  set(CPACK_RPM_DBGSYM_PACKAGE_SUMMARY "Debug information for package quadsolve")
  set(CPACK_RPM_DBGSYM_PACKAGE_GROUP Development/Debug)
  set(CPACK_RPM_DBGSYM_PACKAGE_DESCRIPTION "${debugDescription}")
  set(CPACK_RPM_DBGSYM_PACKAGE_REQUIRES "quadsolve = ${PROJECT_VERSION}")
  # README.md and LICENSE flagged as documentation and licence (so that
  # rpm --excludedocs leaves the one out and not the other); the folders that
  # the system owns are not the package's.
  set(docDir "${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}")
  set(CPACK_RPM_QUADSOLVE_USER_FILELIST "%doc ${docDir}/README.md" "%license ${docDir}/LICENSE")
  set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
      /usr/share/man /usr/share/man/man1 /usr/lib/debug /usr/lib/debug/.build-id)
  # The package files hold no build host or build time of their own: the
  # time is that of the last commit (SOURCE_DATE_EPOCH, or the changelog's
  # without it), which is every file's time too (cmake/PackageTimes.cmake;
  # rpmbuild makes none later). rpmbuild changes none of the files
  # (its post-install steps would strip and compress again, with this
  # machine's tools whatever the processor) and adds no links under
  # /usr/lib/.build-id (the debug package has its file there already, and
  # each package is built on its own); it compresses the payload with xz in
  # one thread.
  set(CPACK_RPM_SPEC_MORE_DEFINE
      "%define packager ${QUADSOLVE_MAINTAINER}
%define _buildhost reproducible
%define _build_id_links none
%define source_date_epoch_from_changelog 1
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define __os_install_post %{nil}")
  set(CPACK_RPM_COMPRESSION_TYPE xz)
endif()

include(CPack)
