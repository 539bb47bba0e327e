# The post-build step of cpack's TGZ generator (cmake/Packaging.cmake): it
# writes the archive again from the same staged folder, with GNU tar and
# gzip, so that it is the same bytes on every machine. CPack adds the members
# in the order in which the file system lists the folder, which differs from
# one file system to another; here they come in the order of their names,
# owned by 0:0 with no user or group name, as rw-r--r-- or rwxr-xr-x, all
# with the time SOURCE_DATE_EPOCH (set by the project's cpack file, else
# their own), in the ustar format that every tar reads; gzip -n writes no
# name or time into its header.
get_filename_component(parent "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY)
get_filename_component(top "${CPACK_TEMPORARY_DIRECTORY}" NAME)
set(options --format=ustar --sort=name --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX)
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  list(APPEND options "--mtime=@$ENV{SOURCE_DATE_EPOCH}")
endif()
foreach(archive IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND tar ${options} -C "${parent}" -cf - "${top}"
                  COMMAND gzip -9n
                  OUTPUT_FILE "${archive}"
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
