# Checks a program linked without the C library as a static position-
# independent program: its own start-up (platform/linux_start.cpp) applies
# relative relocations only and has no loader behind it, so anything else
# that the link left for a loader would go unapplied at run time. It fails
# the build instead, naming what it found:
#   - a relocation of any type but the processor's *_RELATIVE;
#   - a dynamic entry that asks for a loader: a needed library (NEEDED),
#     relocations in the code (TEXTREL), relocations bound lazily through a
#     procedure linkage table (JMPREL) or packed relative ones (RELR), which
#     the start-up does not read;
#   - a program interpreter (PT_INTERP).
#
# Usage: cmake -DREADELF=<readelf> -DPROGRAM=<file> -P CheckStaticProgram.cmake
foreach(variable READELF PROGRAM)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "CheckStaticProgram.cmake needs -D${variable}=...")
  endif()
endforeach()

execute_process(
  COMMAND "${READELF}" -W --program-headers --dynamic --relocs "${PROGRAM}"
  OUTPUT_VARIABLE report
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${READELF} could not read ${PROGRAM}")
endif()

set(problems "")
string(REGEX MATCHALL "R_[A-Z0-9_]+" types "${report}")
list(REMOVE_DUPLICATES types)
foreach(type IN LISTS types)
  if(NOT type MATCHES "_RELATIVE$")
    list(APPEND problems "a relocation of type ${type}")
  endif()
endforeach()
foreach(entry NEEDED TEXTREL JMPREL RELR)
  if(report MATCHES "\\(${entry}\\)")
    list(APPEND problems "the dynamic entry ${entry}")
  endif()
endforeach()
if(report MATCHES "\n +INTERP ")
  list(APPEND problems "a program interpreter")
endif()

if(problems)
  list(JOIN problems "; " text)
  message(FATAL_ERROR "${PROGRAM}: its start-up cannot load it: ${text}")
endif()
