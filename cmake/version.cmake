# The program's version as the tools and packages take it: FILEVERSION of the Windows resource
# script (src/app/ringward_exe.rc). FILEVERSION 1,0,0,1 gives 1.0.0.1 in the variable named out.
function(ringward_read_version source out)
  file(STRINGS ${source}/src/app/ringward_exe.rc version_line REGEX "^[ \t]*FILEVERSION[ \t]")
  if(NOT version_line MATCHES "([0-9]+),([0-9]+),([0-9]+),([0-9]+)")
    message(FATAL_ERROR "no FILEVERSION in ${source}/src/app/ringward_exe.rc")
  endif()
  set(${out} "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${CMAKE_MATCH_4}" PARENT_SCOPE)
endfunction()
