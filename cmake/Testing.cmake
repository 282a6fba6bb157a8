# Test set-up shared by every tests/ folder.
#
# native: Debian's GoogleTest package, each test case a CTest test.
# win64:  GoogleTest built from Debian's googletest sources, every test program
#         run under wine64 with a private prefix in the build folder and one
#         persistent wineserver for the whole run (a CTest fixture).
# win32:  cannot run here; only the inspection of the shipping module is a test.

set(CECP_WIN32_SHIPPING OFF)
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(CECP_WIN32_SHIPPING ON)
endif()

if(CECP_WIN32_SHIPPING)
  # Nothing of GoogleTest is needed to inspect a DLL.
elseif(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

if(WIN32 AND NOT CECP_WIN32_SHIPPING)
  # Debian keeps the wine64 loader and its server outside the PATH.
  find_program(CECP_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(CECP_WINE64 NAMES wine64 wine)
  find_program(CECP_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(CECP_WINESERVER NAMES wineserver64 wineserver)
  if(NOT CECP_WINE64 OR NOT CECP_WINESERVER)
    message(FATAL_ERROR "win64 tests need wine64 (Debian package wine64)")
  endif()
  set(CECP_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
  set(CECP_TEST_LAUNCHER ${CMAKE_BINARY_DIR}/wine-run.sh)
  add_test(NAME wine.start COMMAND ${CECP_TEST_LAUNCHER} --start-server)
  add_test(NAME wine.stop COMMAND ${CECP_TEST_LAUNCHER} --stop-server)
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
endif()

# cecp_add_gtest(NAME SOURCES... [LIBS...] [WINE_SHARDS N]): one GoogleTest
# program. Under wine, where each program is one CTest test, WINE_SHARDS
# splits a long one into N tests (GoogleTest's sharding) that run side by side.
function(cecp_add_gtest name)
  cmake_parse_arguments(ARG "" "WINE_SHARDS" "SOURCES;LIBS" ${ARGN})
  # The watchdog names a test that hangs.
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/test_watchdog.cpp)
  # Every test program is a host: it carries Func3 (or, on Windows, uses the
  # stand-in Kalvo32.dll that does).
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} cecp_host_side GTest::gtest GTest::gtest_main)
  if(NOT WIN32)
    # The modules a test loads take Func3 from the test program.
    set_target_properties(${name} PROPERTIES ENABLE_EXPORTS ON)
  endif()
  if(WIN32 AND ARG_WINE_SHARDS)
    math(EXPR last "${ARG_WINE_SHARDS} - 1")
    foreach(shard RANGE ${last})
      add_test(NAME ${name}.${shard} COMMAND ${CECP_TEST_LAUNCHER} $<TARGET_FILE:${name}>)
      set_tests_properties(${name}.${shard} PROPERTIES FIXTURES_REQUIRED wine
        ENVIRONMENT "GTEST_TOTAL_SHARDS=${ARG_WINE_SHARDS};GTEST_SHARD_INDEX=${shard}")
    endforeach()
  elseif(WIN32)
    add_test(NAME ${name} COMMAND ${CECP_TEST_LAUNCHER} $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
  else()
    gtest_discover_tests(${name} TEST_PREFIX ${name}. DISCOVERY_TIMEOUT 30)
  endif()
endfunction()
