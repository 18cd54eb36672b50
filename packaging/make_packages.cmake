# Makes the two Windows packages in OUT: ringward-VERSION-win32.zip and the installer
# ringward-VERSION-win32-setup.exe, with the version of the program's version resource, then
# checks what each holds. Run by the dist target as:
#   cmake -DSOURCE=... -DEXE=ringward.exe -DCHECKER=ringward-check.exe -DOUT=...
#         -DMAKENSIS=... -DSEVENZIP=... -DPYTHON=... -P make_packages.cmake

include(${SOURCE}/cmake/version.cmake)
ringward_read_version(${SOURCE} version)

# Text files go out with CR LF line ends, as Windows editors write them.
function(copy_as_windows_text from to)
  file(READ "${from}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${to}" "${text}")
endfunction()

set(stage ${OUT}/stage)
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${stage})

file(COPY_FILE ${EXE} ${stage}/ringward.exe)
file(COPY_FILE ${CHECKER} ${stage}/ringward-check.exe)
set(files ringward.exe ringward-check.exe)
copy_as_windows_text(${SOURCE}/docs/user-guide.md ${stage}/README.txt)
foreach(list_file "Accept Always.txt" "Block.txt")
  copy_as_windows_text("${SOURCE}/packaging/examples/${list_file}" "${stage}/${list_file}")
endforeach()
foreach(message ZapMessage.wav AnonCallerMessage.wav "Go Away.wav")
  file(COPY_FILE "${SOURCE}/demo/${message}" "${stage}/${message}")
endforeach()
list(APPEND files README.txt "Accept Always.txt" Block.txt ZapMessage.wav AnonCallerMessage.wav
     "Go Away.wav")

set(zip ${OUT}/ringward-${version}-win32.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- ${files}
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "could not make ${zip}")
endif()

set(installer ${OUT}/ringward-${version}-win32-setup.exe)
execute_process(COMMAND ${MAKENSIS} -V2 -WX -DVERSION=${version} -DSTAGE=${stage}
                        -DOUTFILE=${installer} ${SOURCE}/packaging/ringward.nsi
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "makensis could not make ${installer}")
endif()

execute_process(COMMAND ${PYTHON} ${SOURCE}/packaging/check_packages.py --7z ${SEVENZIP}
                        ${zip} ${installer} ${files}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the packages do not hold what they should")
endif()
message(STATUS "made ${zip} and ${installer}")
