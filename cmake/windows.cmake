# The Windows build, included by CMakeLists.txt when cross-compiling with a MinGW-w64 toolchain
# file: ringward.exe from the program's library and its resources, the check of its imports,
# the packages (the dist target), and tapi32.dll, the telephony service of the simulated
# machine as a drop-in DLL for running the real program under Wine. Both link the run-time
# statically, so they need no MinGW DLLs beside them.

set(RINGWARD_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# The program runs on Windows XP SP3 and later: the SDK declares nothing newer.
set(RINGWARD_OLDEST_WINDOWS 0x0501)
target_compile_definitions(ringward_parts PUBLIC _WIN32_WINNT=${RINGWARD_OLDEST_WINDOWS}
                           WINVER=${RINGWARD_OLDEST_WINDOWS})

# Resources: the dialogs and strings of ringward.rc, the icon, the manifest and the version.
set(RINGWARD_EXE_RESOURCES ${CMAKE_SOURCE_DIR}/src/app/ringward_exe.rc)
set(RINGWARD_RESOURCE_OBJECT ${CMAKE_BINARY_DIR}/ringward_rc.o)
add_custom_command(OUTPUT ${RINGWARD_RESOURCE_OBJECT}
  COMMAND ${CMAKE_RC_COMPILER} -I ${CMAKE_SOURCE_DIR}/src/app ${RINGWARD_EXE_RESOURCES}
          -O coff -o ${RINGWARD_RESOURCE_OBJECT}
  DEPENDS ${RINGWARD_EXE_RESOURCES} ${RINGWARD_RESOURCE_SCRIPT} ${RINGWARD_RESOURCE_HEADER}
          ${CMAKE_SOURCE_DIR}/src/app/ringward.ico ${CMAKE_SOURCE_DIR}/src/app/ringward.manifest
  VERBATIM)

# The program. Nothing names the application object, so the whole library is linked in. Only a
# Debug build keeps its symbols.
add_executable(ringward WIN32 ${RINGWARD_RESOURCE_OBJECT})
set_target_properties(ringward PROPERTIES LINKER_LANGUAGE CXX)
target_link_libraries(ringward PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,ringward_parts>"
                      tapi32 winmm advapi32 comctl32 user32 gdi32)
target_link_options(ringward PRIVATE ${RINGWARD_STATIC_RUNTIME} -Wl,--fatal-warnings
                    $<$<NOT:$<CONFIG:Debug>>:-s>)

# Every function a 32-bit program imports must be on its allow-lists (file names, joined by
# "|"), which say why it exists on the oldest Windows the program supports. Checked whenever
# the program is linked, by the target check_target; the imports found go to TARGET-imports.txt.
function(ringward_check_imports target check_target allowed)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return()
  endif()
  string(REPLACE "|" ";" allowed_files "${allowed}")
  set(checked ${CMAKE_BINARY_DIR}/${target}-imports.txt)
  add_custom_command(OUTPUT ${checked}
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DEXE=$<TARGET_FILE:${target}>
            -DALLOWED=${allowed} -DOUT=${checked} -P ${CMAKE_SOURCE_DIR}/cmake/check_imports.cmake
    DEPENDS ${target} ${allowed_files} ${CMAKE_SOURCE_DIR}/cmake/check_imports.cmake
    VERBATIM)
  add_custom_target(${check_target} ALL DEPENDS ${checked})
endfunction()
ringward_check_imports(ringward ringward_imports ${CMAKE_SOURCE_DIR}/packaging/imports.txt)

# The telephony DLL for tests: the portable line service, its API functions, the journal and
# the script reader, on a hidden window of its own (src/platform/tapidll). It lands in a folder
# of its own: beside the program, Windows would load it in place of the real telephony system.
file(GLOB RINGWARD_TAPIDLL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/tapidll/*.cpp)
add_library(ringward_tapi32 SHARED
  ${RINGWARD_TAPIDLL_SOURCES}
  ${CMAKE_SOURCE_DIR}/src/platform/sim/line_service.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/sim/tapi_api.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/sim/journal.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/sim/script.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/tapidll/tapi32.def)
target_include_directories(ringward_tapi32 PRIVATE ${CMAKE_SOURCE_DIR}/src)
set(RINGWARD_TEST_TAPI_DIR ${CMAKE_BINARY_DIR}/test-tapi)
set_target_properties(ringward_tapi32 PROPERTIES OUTPUT_NAME tapi32 PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${RINGWARD_TEST_TAPI_DIR}
                      LIBRARY_OUTPUT_DIRECTORY ${RINGWARD_TEST_TAPI_DIR})
target_link_options(ringward_tapi32 PRIVATE ${RINGWARD_STATIC_RUNTIME}
                    -Wl,--kill-at,--enable-stdcall-fixup)
target_link_libraries(ringward_tapi32 PRIVATE user32)
# Earlier builds put it beside the program; a copy left there must not travel with it.
file(REMOVE ${CMAKE_BINARY_DIR}/tapi32.dll)

# The packages (make dist): the zip and the installer, in dist/ of the build folder, with the
# program and the list checker (called once both targets exist).
function(ringward_add_dist_target)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 4)
    return() # the packages hold the 32-bit program, which runs on every Windows
  endif()
  find_program(RINGWARD_MAKENSIS makensis)
  find_program(RINGWARD_7Z 7z)
  find_package(Python3 COMPONENTS Interpreter)
  if(NOT RINGWARD_MAKENSIS OR NOT RINGWARD_7Z OR NOT Python3_Interpreter_FOUND)
    add_custom_target(dist COMMAND ${CMAKE_COMMAND} -E echo
      "make dist needs makensis, 7z and python3: bash scripts/setup.sh dist" COMMAND false)
    return()
  endif()
  add_custom_target(dist
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${CMAKE_SOURCE_DIR} -DEXE=$<TARGET_FILE:ringward>
            -DCHECKER=$<TARGET_FILE:ringward-check>
            -DOUT=${CMAKE_BINARY_DIR}/dist -DMAKENSIS=${RINGWARD_MAKENSIS} -DSEVENZIP=${RINGWARD_7Z}
            -DPYTHON=${Python3_EXECUTABLE} -P ${CMAKE_SOURCE_DIR}/packaging/make_packages.cmake
    VERBATIM)
  add_dependencies(dist ringward ringward_imports ringward-check ringward_check_imports)
endfunction()
