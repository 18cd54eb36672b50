# The Windows build, included by CMakeLists.txt when cross-compiling with a MinGW-w64 toolchain
# file: ringward.exe from the program's library and its resources, and tapi32.dll, the
# telephony service of the simulated machine as a drop-in DLL for running the real program
# under Wine. Both link the run-time statically, so they need no MinGW DLLs beside them.

set(RINGWARD_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# Resources: the dialogs and strings of ringward.rc, the icon, the manifest and the version.
set(RINGWARD_EXE_RESOURCES ${CMAKE_SOURCE_DIR}/src/app/ringward_exe.rc)
set(RINGWARD_RESOURCE_OBJECT ${CMAKE_BINARY_DIR}/ringward_rc.o)
add_custom_command(OUTPUT ${RINGWARD_RESOURCE_OBJECT}
  COMMAND ${CMAKE_RC_COMPILER} -I ${CMAKE_SOURCE_DIR}/src/app ${RINGWARD_EXE_RESOURCES}
          -O coff -o ${RINGWARD_RESOURCE_OBJECT}
  DEPENDS ${RINGWARD_EXE_RESOURCES} ${RINGWARD_RESOURCE_SCRIPT} ${RINGWARD_RESOURCE_HEADER}
          ${CMAKE_SOURCE_DIR}/src/app/ringward.ico ${CMAKE_SOURCE_DIR}/src/app/ringward.manifest
  VERBATIM)

# The program. Nothing names the application object, so the whole library is linked in.
add_executable(ringward WIN32 ${RINGWARD_RESOURCE_OBJECT})
set_target_properties(ringward PROPERTIES LINKER_LANGUAGE CXX)
target_link_libraries(ringward PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,ringward_parts>"
                      tapi32 winmm advapi32 comctl32 user32 gdi32)
target_link_options(ringward PRIVATE ${RINGWARD_STATIC_RUNTIME} -Wl,--fatal-warnings)

# The telephony DLL for tests: the portable line service, its API functions, the journal and
# the script reader, on a hidden window of its own (src/platform/tapidll).
file(GLOB RINGWARD_TAPIDLL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/tapidll/*.cpp)
add_library(ringward_tapi32 SHARED
  ${RINGWARD_TAPIDLL_SOURCES}
  ${CMAKE_SOURCE_DIR}/src/platform/sim/line_service.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/sim/tapi_api.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/sim/journal.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/sim/script.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/tapidll/tapi32.def)
target_include_directories(ringward_tapi32 PRIVATE ${CMAKE_SOURCE_DIR}/src)
set_target_properties(ringward_tapi32 PROPERTIES OUTPUT_NAME tapi32 PREFIX "")
target_link_options(ringward_tapi32 PRIVATE ${RINGWARD_STATIC_RUNTIME}
                    -Wl,--kill-at,--enable-stdcall-fixup)
target_link_libraries(ringward_tapi32 PRIVATE user32)
