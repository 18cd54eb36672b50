# Compares the functions an executable imports with the allow-list and fails on any import the
# list does not name. Run as:
#   cmake -DOBJDUMP=... -DEXE=... -DALLOWED=packaging/imports.txt[|more.txt] -DOUT=...
#         -P check_imports.cmake
# The list has one import a line: the DLL, the function, and why it exists on every Windows the
# program supports; "#" starts a comment. OUT receives the imports found, one a line.

execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed (${status})")
endif()

# objdump names each DLL ("DLL Name: KERNEL32.dll"), then one line per import: its thunk's
# address, its hint or ordinal, and its name.
string(REPLACE "\n" ";" dump_lines "${dump}")
set(found)
set(dll "")
foreach(line IN LISTS dump_lines)
  if(line MATCHES "^[ \t]*DLL Name: ([^ \t]+)")
    string(TOLOWER "${CMAKE_MATCH_1}" dll)
  elseif(dll AND line MATCHES "^\t[0-9a-fA-F]+\t +[0-9]+ +([^ \t]+)")
    list(APPEND found "${dll} ${CMAKE_MATCH_1}")
  elseif(dll AND line MATCHES "^\t[0-9a-fA-F]+\t +([0-9]+) +<none>")
    list(APPEND found "${dll} ordinal-${CMAKE_MATCH_1}")
  endif()
endforeach()
if(NOT found)
  message(FATAL_ERROR "no imports found in ${EXE}: objdump's output was not understood")
endif()
list(SORT found)

# ALLOWED may name several lists, joined by "|": a program that shares the program's list and
# adds a few of its own. Then an entry it does not import is no news.
string(REPLACE "|" ";" allowed_files "${ALLOWED}")
list(LENGTH allowed_files allowed_file_count)
set(allowed)
foreach(allowed_file IN LISTS allowed_files)
  file(STRINGS ${allowed_file} allowed_lines)
  foreach(line IN LISTS allowed_lines)
    if(line MATCHES "^[ \t]*(#|$)")
      continue()
    endif()
    if(NOT line MATCHES "^([^ \t]+)[ \t]+([^ \t]+)[ \t]+[^ \t]")
      message(FATAL_ERROR "${allowed_file}: every entry needs a DLL, a function and a reason: "
                          "${line}")
    endif()
    string(TOLOWER "${CMAKE_MATCH_1}" allowed_dll)
    list(APPEND allowed "${allowed_dll} ${CMAKE_MATCH_2}")
  endforeach()
endforeach()

set(unlisted ${found})
list(REMOVE_ITEM unlisted ${allowed})
set(unused ${allowed})
list(REMOVE_ITEM unused ${found})
if(allowed_file_count EQUAL 1)
  foreach(entry IN LISTS unused)
    message(STATUS "${ALLOWED} lists ${entry}, which ${EXE} no longer imports")
  endforeach()
endif()
if(unlisted)
  list(JOIN unlisted "\n  " text)
  message(FATAL_ERROR "${EXE} imports what ${ALLOWED} does not list; add each with the reason it "
                      "exists on Windows XP SP3, or stop using it:\n  ${text}")
endif()

list(LENGTH found count)
list(JOIN found "\n" text)
file(WRITE ${OUT} "${text}\n")
message(STATUS "${EXE}: ${count} imports, all on the allow-list")
