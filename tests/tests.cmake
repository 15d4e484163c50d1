# GoogleTest from Debian's sources, built with the cross compiler.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# A test that runs Windows programs of this tree's width. Where this host
# cannot run them (QV_RUN32 off in the 32-bit tree) the test is still
# listed, and CTest reports it as skipped with the reason: never as passed.
function(qv_add_test name)
  if(QV_RUNS)
    add_test(NAME ${name} ${ARGN})
  else()
    add_test(NAME ${name} COMMAND sh -c "echo 'skipped: ${QV_SKIP_REASON}'; exit 77")
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
  endif()
endfunction()

# Where 32-bit code runs only in the emulated machine (QV_MACHINE, set by
# the Makefile), tools/ctest-tree.sh runs there the whole 32-bit tree and
# the 64-bit tree's tests labelled uses32, as a host that runs both would.
set(QV_MACHINE "" CACHE PATH "The emulated machine that runs the 32-bit programs (empty: this host)")
if(QV_WIN64)
  set(QV_MACHINE_TESTS uses32 CACHE INTERNAL "")
else()
  set(QV_MACHINE_TESTS all CACHE INTERNAL "")
endif()

# Before every test: the prefix, one wineserver kept for the whole run (a
# new server for every program costs seconds), and the DLL registered.
set(FIXTURE ${CMAKE_SOURCE_DIR}/tools/test-fixture.sh)
qv_add_test(setup COMMAND ${FIXTURE} setup ${WINE_PREFIX} ${DLL_WIN})
qv_add_test(cleanup COMMAND ${FIXTURE} cleanup ${WINE_PREFIX})
set_tests_properties(setup PROPERTIES FIXTURES_SETUP registered)
set_tests_properties(cleanup PROPERTIES FIXTURES_CLEANUP registered)

file(GLOB CPP_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/cpp/*.cpp)
add_executable(qvtests ${CPP_TESTS} ${CMAKE_SOURCE_DIR}/tests/fakepage.c $<TARGET_OBJECTS:qvcore>)
target_include_directories(qvtests PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
target_compile_definitions(qvtests PRIVATE ${WIN_DEFINES} QV_DLL_PATH="${DLL_WIN}")
target_link_options(qvtests PRIVATE ${STATIC_RUNTIME})
target_link_libraries(qvtests PRIVATE gtest ${SYSTEM_LIBS})
add_dependencies(qvtests QVFileIO3)
if(QV_RUNS)
  gtest_discover_tests(qvtests
    DISCOVERY_TIMEOUT 120
    DISCOVERY_MODE PRE_TEST
    PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)
else()
  # Discovery runs the program: the names come from the sources instead, so
  # every skipped test is counted under its own name.
  foreach(source ${CPP_TESTS})
    file(STRINGS ${source} declarations REGEX "^TEST(_F)?\\(")
    foreach(declaration ${declarations})
      string(REGEX REPLACE "^TEST(_F)?\\(([A-Za-z0-9_]+), *([A-Za-z0-9_]+)\\).*" "\\2.\\3" test "${declaration}")
      qv_add_test(${test})
    endforeach()
  endforeach()
endif()

# Script tests: each runs under cscript against the registered DLL.
file(GLOB SCRIPT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scripts/test_*.js)
foreach(script ${SCRIPT_TESTS})
  get_filename_component(name ${script} NAME_WE)
  set(library ${CMAKE_SOURCE_DIR}/tests/scripts/lib.js)
  qv_add_test(script.${name}
              COMMAND ${CMAKE_SOURCE_DIR}/tools/run-script.sh ${WINE_PREFIX} ${library} ${script})
  set_tests_properties(script.${name} PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)
endforeach()

# Registration in the prefix, checked from the shell with reg, regsvr32
# and cscript; the library's PE facts, which need no Windows program, are
# checked on every host.
add_test(NAME pe-facts COMMAND sh ${CMAKE_SOURCE_DIR}/tests/pe-facts.sh ${CMAKE_BINARY_DIR}/QVFileIO3.dll)
if(NOT QV_WIN64)
  # The probe of the widths a host runs and the count of skipped tests.
  add_test(NAME widths COMMAND sh ${CMAKE_SOURCE_DIR}/tests/widths.sh)
  # When a program that Wine did not start is run once more.
  add_test(NAME unstarted COMMAND sh ${CMAKE_SOURCE_DIR}/tests/unstarted.sh)
endif()
# A failed regsvr32 is shown with its exit status, its output and the
# HRESULT of DllRegisterServer itself (dllserver.exe).
add_executable(dllserver tests/dllserver.cpp)
target_compile_definitions(dllserver PRIVATE ${WIN_DEFINES})
target_link_options(dllserver PRIVATE ${STATIC_RUNTIME} -municode)
target_link_libraries(dllserver PRIVATE ole32)
add_dependencies(qvtests dllserver)
qv_add_test(registration
         COMMAND sh ${CMAKE_SOURCE_DIR}/tests/registration.sh ${WINE_PREFIX} ${CMAKE_BINARY_DIR}/QVFileIO3.dll
                 ${WINE_ARCH} ${CMAKE_BINARY_DIR}/dllserver.exe)
set_tests_properties(registration PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)

# The process that hosts the library is of this tree's width: the script
# host of the tree's prefix (the 32-bit one, where 32-bit code runs only in
# the emulated machine, too).
if(QV_WIN64)
  set(HOST_ARCH AMD64)
else()
  set(HOST_ARCH x86)
endif()
string(REPLACE "/" "\\" WIDTH_SCRIPT "Z:${CMAKE_SOURCE_DIR}/tests/scripts/width.js")
qv_add_test(script.width COMMAND ${WINE_RUN} --arch ${WINE_ARCH} --prefix ${WINE_PREFIX} --says
                                 cscript //nologo ${WIDTH_SCRIPT})
set_tests_properties(script.width PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix
                     PASS_REGULAR_EXPRESSION "^host ${HOST_ARCH}: works\r?\n$")

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
qv_add_test(user-setup
            COMMAND ${USER_FIXTURE} setup ${USER_DIR} ${CMAKE_BINARY_DIR}/QVFileIO3.dll ${CMAKE_SOURCE_DIR})
qv_add_test(user-cleanup COMMAND ${USER_FIXTURE} cleanup ${USER_DIR})
set_tests_properties(user-setup PROPERTIES FIXTURES_SETUP unprivileged RESOURCE_LOCK userprefix)
set_tests_properties(user-cleanup PROPERTIES FIXTURES_CLEANUP unprivileged RESOURCE_LOCK userprefix)
foreach(script ${USER_SCRIPT_TESTS})
  get_filename_component(name ${script} NAME_WE)
  qv_add_test(script.${name}
              COMMAND runuser -u qvfileio -- env -u XDG_RUNTIME_DIR HOME=${USER_DIR}/home USER=qvfileio
                      WINEARCH=${WINE_ARCH} ${USER_DIR}/files/run-script.sh ${USER_DIR}/prefix
                      ${USER_DIR}/files/lib.js ${USER_DIR}/files/${name}.js)
  set_tests_properties(script.${name} PROPERTIES FIXTURES_REQUIRED unprivileged RESOURCE_LOCK userprefix)
endforeach()
# The same user with a Windows directory it may not write: the log's other place.
qv_add_test(logfallback COMMAND sh ${CMAKE_SOURCE_DIR}/tests/logfallback.sh ${USER_DIR})
set_tests_properties(logfallback PROPERTIES FIXTURES_REQUIRED unprivileged RESOURCE_LOCK userprefix)

# A tree holding a symbolic link to a folder outside it, deleted whole: the
# link is built from the shell, since Wine's cmd has no mklink.
qv_add_test(script.links COMMAND sh ${CMAKE_SOURCE_DIR}/tests/links.sh ${WINE_PREFIX})
set_tests_properties(script.links PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)

# A drive's root in every spelling, refused before anything on it is
# touched: the drive is a link in the prefix's dosdevices, made from the shell.
qv_add_test(script.roots COMMAND sh ${CMAKE_SOURCE_DIR}/tests/roots.sh ${WINE_PREFIX})
set_tests_properties(script.roots PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix TIMEOUT 600)

# The administrator's policy: spellings of places outside it refused, the
# disk and the registry as they were; the policy's own cases.
qv_add_test(confinement COMMAND sh ${CMAKE_SOURCE_DIR}/tests/confinement.sh ${WINE_PREFIX})
set_tests_properties(confinement PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix TIMEOUT 600)

# A real full disk: a tmpfs mounted by root (exit 77, skipped, where refused).
qv_add_test(diskfull COMMAND sh ${CMAKE_SOURCE_DIR}/tests/diskfull.sh ${WINE_PREFIX})
set_tests_properties(diskfull PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix SKIP_RETURN_CODE 77)

# The script host killed at random instants while it overwrites a file with
# Write and with CopyFile: every time the file holds one text or the other.
# In the emulated machine a Wine program costs some ten times as much: the
# kills and the race's rounds there are fewer, their checks the same.
if(QV_MACHINE AND NOT QV_WIN64)
  set(KILLS 8)
  set(RACE_ROUNDS 300)
else()
  set(KILLS 24)
  set(RACE_ROUNDS 1000)
endif()
qv_add_test(killwrite COMMAND sh ${CMAKE_SOURCE_DIR}/tests/killwrite.sh ${WINE_PREFIX} ${KILLS})
set_tests_properties(killwrite PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix TIMEOUT 900)

# The workstation: the stand-in helper Ormik.exe is built here, and the
# script is given its folder.
add_executable(Ormik tests/ormik.cpp)
set_target_properties(Ormik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/ormik)
target_link_options(Ormik PRIVATE ${STATIC_RUNTIME})
add_dependencies(qvtests Ormik)
string(REPLACE "/" "\\" ORMIK_WIN "Z:${CMAKE_BINARY_DIR}/ormik")
qv_add_test(script.workstation
            COMMAND ${CMAKE_SOURCE_DIR}/tools/run-script.sh ${WINE_PREFIX} ${CMAKE_SOURCE_DIR}/tests/scripts/lib.js
                 ${CMAKE_SOURCE_DIR}/tests/scripts/workstation.js ${ORMIK_WIN})
set_tests_properties(script.workstation PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)

# A browser's script engine: Windows' JScript run as the page of a URL, with
# the safety check of a browser (tests/sitehost.cpp). A page creates the
# object by its ProgID and calls it.
add_executable(sitehost tests/sitehost.cpp tests/fakepage.c)
target_include_directories(sitehost PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(sitehost PRIVATE ${WIN_DEFINES})
target_link_options(sitehost PRIVATE ${STATIC_RUNTIME} -municode)
target_link_libraries(sitehost PRIVATE ole32 oleaut32 uuid)
add_dependencies(qvtests sitehost)
string(REPLACE "/" "\\" SITE_PAGE_WIN "Z:${CMAKE_SOURCE_DIR}/tests/scripts/site_page.js")
qv_add_test(sitehost COMMAND sitehost ${SITE_PAGE_WIN} https://intranet.example.com/app)
set_tests_properties(sitehost PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix
                     PASS_REGULAR_EXPRESSION "page: https://intranet.example.com/app\r?\nworks\r?\n$")

# Pages of a table of URLs under a table of site policies, played by
# sitehost, and a script of cscript, which has no page.
qv_add_test(site COMMAND sh ${CMAKE_SOURCE_DIR}/tests/site.sh ${WINE_PREFIX} $<TARGET_FILE:sitehost> ${CMAKE_SOURCE_DIR})
set_tests_properties(site PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)

# The shell's real folder dialog under Xvfb, answered with xdotool, in a
# prefix of its own whose programs all see the display.
qv_add_test(dialog COMMAND sh ${CMAKE_SOURCE_DIR}/tests/dialog.sh ${CMAKE_BINARY_DIR}/dialogprefix
                           ${CMAKE_BINARY_DIR}/QVFileIO3.dll)
set_tests_properties(dialog PROPERTIES TIMEOUT 300)

# Both widths on one 64-bit machine: the 32-bit library (QV_DLL32, built in
# the 32-bit tree) and this one registered side by side, each called from
# its own script host; and the package installed into a fresh prefix. Where
# the host runs no 32-bit code these test the 64-bit side and say so. The
# 32-bit library's type library is read from a 64-bit process everywhere.
if(QV_WIN64 AND QV_DLL32)
  add_executable(typelib-check tests/typelib_check.cpp)
  target_compile_definitions(typelib-check PRIVATE ${WIN_DEFINES})
  target_link_options(typelib-check PRIVATE ${STATIC_RUNTIME} -municode)
  target_link_libraries(typelib-check PRIVATE ole32 oleaut32 uuid)
  string(REPLACE "/" "\\" DLL32_WIN "Z:${QV_DLL32}")
  add_test(NAME typelib-32 COMMAND typelib-check ${DLL32_WIN} 32)
  add_test(NAME typelib-64 COMMAND typelib-check ${DLL_WIN} 64)
  set_tests_properties(typelib-32 typelib-64 PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)
  add_test(NAME both-widths COMMAND sh ${CMAKE_SOURCE_DIR}/tests/both-widths.sh ${WINE_PREFIX} ${QV_DLL32}
                                    ${CMAKE_BINARY_DIR}/QVFileIO3.dll)
  set_tests_properties(both-widths PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix)
  add_test(NAME package COMMAND sh ${CMAKE_SOURCE_DIR}/tests/package.sh ${QV_DLL32} ${CMAKE_BINARY_DIR}/QVFileIO3.dll
                                ${CMAKE_BINARY_DIR}/packageprefix)
  set_tests_properties(package PROPERTIES TIMEOUT 600)
  # The Windows Installer package: installed, used, upgraded and removed in
  # fresh prefixes, on every host; the 32-bit registration it is built from
  # against the 32-bit regsvr32's (skipped where 32-bit code cannot run).
  add_test(NAME msi COMMAND sh ${CMAKE_SOURCE_DIR}/tests/msi.sh ${QV_DLL32} ${CMAKE_BINARY_DIR}/QVFileIO3.dll
                            $<TARGET_FILE:register32> ${CMAKE_BINARY_DIR}/msi)
  set_tests_properties(msi PROPERTIES TIMEOUT 600)
  add_test(NAME registration-32 COMMAND sh ${CMAKE_SOURCE_DIR}/tests/register32.sh ${QV_DLL32}
                                        $<TARGET_FILE:register32> ${CMAKE_BINARY_DIR}/register32)
  set_tests_properties(registration-32 PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
  set_tests_properties(both-widths package msi registration-32 PROPERTIES LABELS uses32)
  # make dist signed with a throw-away authority's certificate, and refusing bad input.
  add_test(NAME release COMMAND sh ${CMAKE_SOURCE_DIR}/tests/release.sh ${QV_DLL32} ${CMAKE_BINARY_DIR}/QVFileIO3.dll
                                $<TARGET_FILE:register32> ${CMAKE_BINARY_DIR}/release ${WINE_PREFIX})
  set_tests_properties(release PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix TIMEOUT 600)
endif()

# The reference (docs/reference.md) against the product: every description a
# caller can get is documented, and every example in it runs under cscript,
# in each tree that runs.
if(NOT QV_WIN64)
  # The Group Policy templates name exactly the values the library reads.
  add_test(NAME templates COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/templates.py ${CMAKE_SOURCE_DIR})
  add_test(NAME reference.messages COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/reference.py messages ${CMAKE_SOURCE_DIR})
endif()
qv_add_test(reference.examples
            COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/reference.py examples ${CMAKE_SOURCE_DIR} ${WINE_PREFIX})
set_tests_properties(reference.examples PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix TIMEOUT 600)

# Every test of this tree runs Wine at this tree's width.
get_property(QV_ALL_TESTS DIRECTORY PROPERTY TESTS)
set_tests_properties(${QV_ALL_TESTS} PROPERTIES ENVIRONMENT "WINEARCH=${WINE_ARCH};QV_RUN32=${QV_RUN32}")

# The ways out of the policy that need links the object never makes (a
# registry link is made by tests/reglink.exe), and a folder switched for a
# link beside a bounded number of calls.
add_executable(reglink tests/reglink.cpp)
target_compile_definitions(reglink PRIVATE ${WIN_DEFINES})
target_link_options(reglink PRIVATE ${STATIC_RUNTIME} -municode)
add_dependencies(qvtests reglink)
qv_add_test(wayout COMMAND sh ${CMAKE_SOURCE_DIR}/tests/wayout.sh ${WINE_PREFIX} ${RACE_ROUNDS} $<TARGET_FILE:reglink>)
set_tests_properties(wayout PROPERTIES FIXTURES_REQUIRED registered RESOURCE_LOCK wineprefix TIMEOUT 1200
                     ENVIRONMENT "WINEARCH=${WINE_ARCH};QV_RUN32=${QV_RUN32}")
