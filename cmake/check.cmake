# ringward-check, the list checker: its own sources in src/check over the program's library.
# Included by CMakeLists.txt for both builds: on Linux it runs on the simulated operating system
# (real files, the real clock) and its tests join the suite; on Windows it is a console program
# linked with the run-time statically, beside ringward.exe.
file(GLOB RINGWARD_CHECK_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/check/*.cpp)
list(FILTER RINGWARD_CHECK_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(ringward_check_parts STATIC ${RINGWARD_CHECK_SOURCES})
target_link_libraries(ringward_check_parts PUBLIC ringward_parts)
# Its reports name the program's version, which the resource script defines.
include(${CMAKE_SOURCE_DIR}/cmake/version.cmake)
ringward_read_version(${CMAKE_SOURCE_DIR} RINGWARD_VERSION)
target_compile_definitions(ringward_check_parts PRIVATE RINGWARD_VERSION="${RINGWARD_VERSION}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CMAKE_SOURCE_DIR}/src/app/ringward_exe.rc)

if(WIN32)
  add_executable(ringward-check ${CMAKE_SOURCE_DIR}/src/check/main.cpp)
  # The program's library again after the checker's, so that the system libraries come after it.
  target_link_libraries(ringward-check PRIVATE ringward_check_parts ringward_parts tapi32 winmm
                        advapi32 user32)
  target_link_options(ringward-check PRIVATE ${RINGWARD_STATIC_RUNTIME} -Wl,--fatal-warnings
                      $<$<NOT:$<CONFIG:Debug>>:-s>)
  # It runs where the program runs: its imports are the program's allowed ones and a few more.
  ringward_check_imports(ringward-check ringward_check_imports
    "${CMAKE_SOURCE_DIR}/packaging/imports.txt|${CMAKE_SOURCE_DIR}/packaging/check-imports.txt")
  ringward_add_dist_target()
  return()
endif()

add_executable(ringward-check ${CMAKE_SOURCE_DIR}/src/platform/sim/program/check_main.cpp)
target_link_libraries(ringward-check PRIVATE ringward_check_parts ringward_sim)

if(TARGET ringward_tests)
  target_link_libraries(ringward_tests PRIVATE ringward_check_parts)
  add_dependencies(ringward_tests ringward-check)
  target_compile_definitions(ringward_tests PRIVATE
                             RINGWARD_CHECK_BINARY="$<TARGET_FILE:ringward-check>")
  # The report's page, parsed as XML and its numbers held against a scripted run's calls.
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_FOUND)
    add_test(NAME CheckReportPage
             COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/check/report_page.py
                     $<TARGET_FILE:ringward-check> $<TARGET_FILE:ringward>)
    set_tests_properties(CheckReportPage PROPERTIES ENVIRONMENT "TZ=UTC" TIMEOUT 120)
  endif()
endif()
