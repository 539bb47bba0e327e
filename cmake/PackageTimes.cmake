# The pre-build step of cpack's RPM generator (cmake/Packaging.cmake): gives
# every staged file and folder the time SOURCE_DATE_EPOCH (set by the
# project's cpack file), as CPack does itself for the Debian packages.
# rpmbuild can only lower the times that are later than it; a file that git
# has not touched since an older checkout, or a program built before the
# last commit, would keep its own time, and the package would differ from
# one made from a fresh clone.
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  execute_process(COMMAND find "${CPACK_TEMPORARY_DIRECTORY}" -exec touch -h -d "@$ENV{SOURCE_DATE_EPOCH}" {} +
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
