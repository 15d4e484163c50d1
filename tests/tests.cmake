# GoogleTest from Debian's sources, built with the cross compiler.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# Before every test: the prefix, one wineserver kept for the whole run (a
# new server for every program costs seconds), and the DLL registered.
set(FIXTURE ${CMAKE_SOURCE_DIR}/tools/test-fixture.sh)
add_test(NAME setup COMMAND ${FIXTURE} setup ${WINE_PREFIX} ${DLL_WIN})
add_test(NAME cleanup COMMAND ${FIXTURE} cleanup ${WINE_PREFIX})
set_tests_properties(setup PROPERTIES FIXTURES_SETUP registered)
set_tests_properties(cleanup PROPERTIES FIXTURES_CLEANUP registered)

file(GLOB CPP_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/cpp/*.cpp)
add_executable(qvtests ${CPP_TESTS} $<TARGET_OBJECTS:qvcore>)
target_include_directories(qvtests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
target_compile_definitions(qvtests PRIVATE ${WIN_DEFINES} QV_DLL_PATH="${DLL_WIN}")
target_link_options(qvtests PRIVATE ${STATIC_RUNTIME})
target_link_libraries(qvtests PRIVATE gtest ${SYSTEM_LIBS})
add_dependencies(qvtests QVFileIO3)
gtest_discover_tests(qvtests
  DISCOVERY_TIMEOUT 120
  DISCOVERY_MODE PRE_TEST
  PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)

# Script tests: each runs under cscript against the registered DLL.
file(GLOB SCRIPT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scripts/test_*.js)
foreach(script ${SCRIPT_TESTS})
  get_filename_component(name ${script} NAME_WE)
  set(library ${CMAKE_SOURCE_DIR}/tests/scripts/lib.js)
  add_test(NAME script.${name}
           COMMAND ${CMAKE_SOURCE_DIR}/tools/run-script.sh ${WINE_PREFIX} ${library} ${script})
  set_tests_properties(script.${name} PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)
endforeach()

# Registration in the prefix and the library's PE facts, checked from the
# shell with reg, regsvr32, cscript and objdump.
add_test(NAME registration
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/registration.sh ${WINE_PREFIX} ${CMAKE_BINARY_DIR}/QVFileIO3.dll
                 ${WINE_ARCH})
set_tests_properties(registration PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)

if(NOT QV_WIN64)
# Script tests named user_*.js run Wine as the unprivileged user qvfileio in
# a prefix of its own: as root, Wine writes through the read-only attribute.
# Switching users needs root, as CI runs. The user works in a directory of
# its own below /tmp, with copies of the DLL and the scripts, so the tests
# do not depend on where the sources were checked out.
set(USER_FIXTURE ${CMAKE_SOURCE_DIR}/tools/user-fixture.sh)
string(MD5 BUILD_HASH ${CMAKE_BINARY_DIR})
string(SUBSTRING ${BUILD_HASH} 0 8 BUILD_HASH)
set(USER_DIR /tmp/qvfileio-user-${BUILD_HASH})
file(GLOB USER_SCRIPT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scripts/user_*.js)
add_test(NAME user-setup
         COMMAND ${USER_FIXTURE} setup ${USER_DIR} ${CMAKE_BINARY_DIR}/QVFileIO3.dll ${CMAKE_SOURCE_DIR})
add_test(NAME user-cleanup COMMAND ${USER_FIXTURE} cleanup ${USER_DIR})
set_tests_properties(user-setup PROPERTIES FIXTURES_SETUP unprivileged RESOURCE_LOCK userprefix)
set_tests_properties(user-cleanup PROPERTIES FIXTURES_CLEANUP unprivileged RESOURCE_LOCK userprefix)
foreach(script ${USER_SCRIPT_TESTS})
  get_filename_component(name ${script} NAME_WE)
  add_test(NAME script.${name}
           COMMAND runuser -u qvfileio -- env -u XDG_RUNTIME_DIR HOME=${USER_DIR}/home USER=qvfileio
                   ${USER_DIR}/files/run-script.sh ${USER_DIR}/prefix
                   ${USER_DIR}/files/lib.js ${USER_DIR}/files/${name}.js)
  set_tests_properties(script.${name} PROPERTIES FIXTURES_REQUIRED unprivileged RESOURCE_LOCK userprefix)
endforeach()
# The same user with a Windows directory it may not write: the log's other place.
add_test(NAME logfallback COMMAND sh ${CMAKE_SOURCE_DIR}/tests/logfallback.sh ${USER_DIR})
set_tests_properties(logfallback PROPERTIES FIXTURES_REQUIRED unprivileged RESOURCE_LOCK userprefix)
endif()

# A tree holding a symbolic link to a folder outside it, deleted whole: the
# link is built from the shell, since Wine's cmd has no mklink.
add_test(NAME script.links COMMAND sh ${CMAKE_SOURCE_DIR}/tests/links.sh ${WINE_PREFIX})
set_tests_properties(script.links PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)

# A real full disk: a tmpfs mounted by root (exit 77, skipped, where refused).
add_test(NAME diskfull COMMAND sh ${CMAKE_SOURCE_DIR}/tests/diskfull.sh ${WINE_PREFIX})
set_tests_properties(diskfull PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix SKIP_RETURN_CODE 77)

# The workstation: the stand-in helper Ormik.exe is built here, and the
# script is given its folder.
add_executable(Ormik tests/ormik.cpp)
set_target_properties(Ormik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/ormik)
target_link_options(Ormik PRIVATE ${STATIC_RUNTIME})
add_dependencies(qvtests Ormik)
string(REPLACE "/" "\\" ORMIK_WIN "Z:${CMAKE_BINARY_DIR}/ormik")
add_test(NAME script.workstation
         COMMAND ${CMAKE_SOURCE_DIR}/tools/run-script.sh ${WINE_PREFIX} ${CMAKE_SOURCE_DIR}/tests/scripts/lib.js
                 ${CMAKE_SOURCE_DIR}/tests/scripts/workstation.js ${ORMIK_WIN})
set_tests_properties(script.workstation PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)

if(NOT QV_WIN64)
# The shell's real folder dialog under Xvfb, answered with xdotool, in a
# prefix of its own whose programs all see the display.
add_test(NAME dialog COMMAND sh ${CMAKE_SOURCE_DIR}/tests/dialog.sh ${CMAKE_BINARY_DIR}/dialogprefix
                             ${CMAKE_BINARY_DIR}/QVFileIO3.dll)
set_tests_properties(dialog PROPERTIES TIMEOUT 300)
endif()

# Both widths on one 64-bit machine: the 32-bit library (QV_DLL32, built in
# the 32-bit tree) and this one registered side by side, each called from
# its own script host; and the package installed into a fresh prefix.
if(QV_WIN64 AND QV_DLL32)
  add_test(NAME both-widths COMMAND sh ${CMAKE_SOURCE_DIR}/tests/both-widths.sh ${WINE_PREFIX} ${QV_DLL32}
                                    ${CMAKE_BINARY_DIR}/QVFileIO3.dll)
  set_tests_properties(both-widths PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)
  add_test(NAME package COMMAND sh ${CMAKE_SOURCE_DIR}/tests/package.sh ${QV_DLL32} ${CMAKE_BINARY_DIR}/QVFileIO3.dll
                                ${CMAKE_BINARY_DIR}/packageprefix)
  set_tests_properties(package PROPERTIES TIMEOUT 600)
endif()

# Every test of this tree runs Wine at this tree's width.
get_property(QV_ALL_TESTS DIRECTORY PROPERTY TESTS)
set_tests_properties(${QV_ALL_TESTS} PROPERTIES ENVIRONMENT WINEARCH=${WINE_ARCH})
