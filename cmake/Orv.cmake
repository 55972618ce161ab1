# Flags shared by every target of our own.
add_library(orv_flags INTERFACE)
target_compile_options(orv_flags INTERFACE
  -Wall -Wextra -Werror
  # GCC 12 at -O3 reports inlined std::string and vector code (restrict,
  # array bounds, overflow) that is correct: kept as warnings, not errors.
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>,$<CONFIG:Release>>:-Wno-error=restrict;-Wno-error=array-bounds;-Wno-error=stringop-overflow>
  # Text inside the system is code page 932; sources stay UTF-8. GCC 12's
  # <chrono> holds a literal that code page 932 cannot encode: take the clocks
  # and durations from <thread> or <condition_variable> instead.
  -finput-charset=UTF-8 -fexec-charset=CP932 -fno-char8_t
  # Battles must replay bit for bit: no fused multiply-add, no fast-math.
  -ffp-contract=off -fno-fast-math)
target_include_directories(orv_flags INTERFACE ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
# Each test runs through env for its variables: about a hundredth of a
# second less a test than through cmake -E env.
find_program(ORV_ENV env REQUIRED)
target_link_libraries(orv_flags INTERFACE Threads::Threads)
# -pthread everywhere, as GTK's flags give it to some: the test binaries'
# shared precompiled header needs the same _REENTRANT in all of them.
target_compile_options(orv_flags INTERFACE -pthread)
# Each function and object in a section of its own, and the linker keeps only
# the reachable ones and the shared libraries they call: a test of the battle
# objects no longer loads the movie libraries (and theirs) that the rest of a
# unit it links from calls. Over seventy libraries less cut every such test
# process's start by two thirds. The sanitizers' instrumentation keeps nearly
# all code reachable, so their builds would only link slower.
if(NOT ORV_SANITIZE AND NOT ORV_TSAN)
  target_compile_options(orv_flags INTERFACE -ffunction-sections -fdata-sections)
  target_link_options(orv_flags INTERFACE -Wl,--gc-sections -Wl,--as-needed)
endif()

if(ORV_SANITIZE)
  target_compile_options(orv_flags INTERFACE
    -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(orv_flags INTERFACE -fsanitize=address,undefined,float-cast-overflow)
endif()

# ThreadSanitizer: only the tests labelled "threads" or "processes" are built with it
# (target orv_threads_tests), so the build stays small.
if(ORV_TSAN)
  if(ORV_SANITIZE)
    message(FATAL_ERROR "ORV_TSAN and ORV_SANITIZE exclude each other: use two build folders")
  endif()
  target_compile_options(orv_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(orv_flags INTERFACE -fsanitize=thread)
endif()
if(ORV_TESTS)
  add_custom_target(orv_threads_tests)
  # Tests on an X server: COMMAND ${ORV_XVFB_TEST} <WxHxDEPTH> <test binary>.
  find_program(ORV_XVFB Xvfb REQUIRED)
  set(ORV_XVFB_TEST ${CMAKE_CURRENT_LIST_DIR}/../scripts/xvfb-test.sh)
endif()

# Build time: test code (the targets orv_finish_targets marks) is compiled
# for a quick build and the code under test for quick tests; line tables
# only, enough for sanitizer and crash reports. A Debug or Release build of
# one's own keeps the flags it asks for.
if(ORV_SANITIZE)
  set(orv_code_opt -O1 -g1)
  # The code under test keeps every check; the tests' own code (mostly
  # GoogleTest's templates) only AddressSanitizer's, which halves its build.
  set(orv_test_opt -O0 -g1 -fno-sanitize=undefined$<COMMA>float-cast-overflow)
elseif(ORV_TSAN)
  set(orv_code_opt -O2 -g1)
  set(orv_test_opt -O0 -g1)
elseif(CMAKE_BUILD_TYPE STREQUAL "RelWithDebInfo")
  set(orv_code_opt -g1)
  # Unoptimised: the tests' own code is mostly GoogleTest's templates and
  # builds in about two thirds of the time, while they spend their time in
  # the code under test.
  set(orv_test_opt -O0 -g1)
endif()
set(orv_is_test "$<BOOL:$<TARGET_PROPERTY:ORV_TEST_CODE>>")
target_compile_options(orv_flags INTERFACE
  "$<IF:${orv_is_test},${orv_test_opt},${orv_code_opt}>")
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld ORV_HAVE_LLD)
if(ORV_HAVE_LLD)
  target_link_options(orv_flags INTERFACE -fuse-ld=lld)
endif()

# Seconds a test may run before CTest stops it: a hung test fails on its own
# instead of stalling the run. The slowest cases take under 20 s.
set(ORV_TEST_TIMEOUT 60 CACHE STRING "Default CTest timeout of each test, in seconds")

# orv_discover_tests(<test binary> [TIMEOUT <seconds>] [NO_LEAK_CHECK] [LABEL <label>]
#                    [ENV <VAR=value>...] [FIXTURES <fixture>...])
# Registers each GoogleTest case with CTest, run with headless SDL and the
# variables given, after the setup tests of the fixtures given. The
# variables go through a launcher: discovery would split a list given as the
# ENVIRONMENT property and keep only its first variable. NO_LEAK_CHECK is for
# binaries on real OpenGL or GTK, whose libraries keep blocks for the life of
# the process that LeakSanitizer would report.
function(orv_discover_tests target)
  cmake_parse_arguments(ARG "NO_LEAK_CHECK" "TIMEOUT;LABEL;TSAN_FILTER" "ENV;FIXTURES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${ORV_TEST_TIMEOUT})
  endif()
  set(env SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ${ARG_ENV})
  if(ARG_NO_LEAK_CHECK)
    list(APPEND env ASAN_OPTIONS=detect_leaks=0)
  endif()
  set_target_properties(${target} PROPERTIES CROSSCOMPILING_EMULATOR "${ORV_ENV};${env}")
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_LABEL)
    list(APPEND props LABELS ${ARG_LABEL})
  endif()
  if(ARG_FIXTURES)
    string(REPLACE ";" "\\;" fixtures "${ARG_FIXTURES}")
    list(APPEND props FIXTURES_REQUIRED ${fixtures})
  endif()
  # Under ThreadSanitizer a binary may run only its tests that start threads
  # of their own kind: the rest are the same code on the same threads.
  set(filter)
  if(ORV_TSAN AND ARG_TSAN_FILTER)
    set(filter TEST_FILTER ${ARG_TSAN_FILTER})
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST ${filter} PROPERTIES ${props})
  # The ThreadSanitizer build (scripts/test.sh --tsan) builds these only.
  if(ARG_LABEL STREQUAL "threads" OR ARG_LABEL STREQUAL "processes")
    add_dependencies(orv_threads_tests ${target})
  endif()
endfunction()

# orv_xvfb_tests(<target> <WxHxDEPTH> [TIMEOUT <s>] [ENV <var=value>...] [FIXTURES <name>...])
# Each test of the binary as a CTest test of its own, each on an X server of
# its own: the long frame-reading tests run side by side, each within its
# own timeout.
function(orv_xvfb_tests target screen)
  cmake_parse_arguments(ARG "" "TIMEOUT" "ENV;FIXTURES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${ORV_TEST_TIMEOUT})
  endif()
  set_target_properties(${target} PROPERTIES
    CROSSCOMPILING_EMULATOR "${ORV_ENV};${ARG_ENV};${ORV_XVFB_TEST};${screen}")
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_FIXTURES)
    string(REPLACE ";" "\\;" fixtures "${ARG_FIXTURES}")
    list(APPEND props FIXTURES_REQUIRED ${fixtures})
  endif()
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# orv_gl_tests(<library> [<more deps>...])
# tests/gl/*.cpp of the calling folder as <library>_gl_tests: a binary of its
# own, since Mesa's EGL, loaded by SDL's offscreen driver, keeps a block that
# LeakSanitizer would report in the library's other tests.
function(orv_gl_tests library)
  if(NOT ORV_TESTS)
    return()
  endif()
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/gl/*.cpp)
  add_executable(${library}_gl_tests ${srcs})
  target_link_libraries(${library}_gl_tests PRIVATE ${library} ${ARGN} GTest::gtest GTest::gtest_main)
  orv_discover_tests(${library}_gl_tests NO_LEAK_CHECK)
endfunction()

# orv_library(<target> [DEPS <public deps>...] [PRIVATE_DEPS <deps>...]
#             [TEST_DEPS <deps>...] [TEST_TIMEOUT <seconds>]
#             [SOURCES <files>...] [EXCLUDE <files>...]
#             [TEST_DIR <folder>] [TEST_LABEL <label>]
#             [TEST_ENV <VAR=value>...] [TEST_FIXTURES <fixture>...]
#             [TEST_TSAN_FILTER <gtest filter>] [ALONE <files>...])
# One static library from the .cpp files of the calling folder (or the
# SOURCES given, less the EXCLUDE ones), compiled eight to a unit but for
# the ALONE files, whose file-local names repeat another file's of the
# folder; tests/*.cpp beside it (or TEST_DIR/*.cpp) become <target>_tests,
# registered with CTest, each case with the timeout given (ORV_TEST_TIMEOUT
# by default), the label, variables and fixtures given. TEST_TSAN_FILTER
# narrows the tests the ThreadSanitizer build registers.
function(orv_library target)
  cmake_parse_arguments(ARG "" "TEST_TIMEOUT;TEST_DIR;TEST_LABEL;TEST_TSAN_FILTER"
    "DEPS;PRIVATE_DEPS;TEST_DEPS;SOURCES;EXCLUDE;TEST_ENV;TEST_FIXTURES;ALONE" ${ARGN})
  if(NOT ARG_TEST_DIR)
    set(ARG_TEST_DIR tests)
  endif()
  if(NOT ARG_TEST_TIMEOUT)
    set(ARG_TEST_TIMEOUT ${ORV_TEST_TIMEOUT})
  endif()
  # Once the folder is read, so tests it adds after this call count too.
  if(ORV_TESTS)
    cmake_language(DEFER CALL orv_default_test_timeouts)
  endif()
  if(ARG_SOURCES)
    list(TRANSFORM ARG_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/ OUTPUT_VARIABLE srcs)
  else()
    file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(NOT srcs)
    # Headers only, so far.
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE orv_flags ${ARG_DEPS} ${ARG_PRIVATE_DEPS})
    return()
  endif()
  add_library(${target} STATIC ${srcs})
  if(ARG_ALONE)
    list(TRANSFORM ARG_ALONE PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    set_source_files_properties(${ARG_ALONE} TARGET_DIRECTORY ${target} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  endif()
  target_link_libraries(${target} PUBLIC orv_flags ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})

  file(GLOB test_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_TEST_DIR}/*.cpp)
  if(ORV_TESTS AND test_srcs)
    add_executable(${target}_tests ${test_srcs})
    target_link_libraries(${target}_tests PRIVATE ${target} ${ARG_TEST_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    orv_discover_tests(${target}_tests TIMEOUT ${ARG_TEST_TIMEOUT} LABEL ${ARG_TEST_LABEL}
      TSAN_FILTER ${ARG_TEST_TSAN_FILTER} ENV ${ARG_TEST_ENV} FIXTURES ${ARG_TEST_FIXTURES})
  endif()
endfunction()

# Adds every folder below the calling one that has a CMakeLists.txt: each is
# one library, or a folder that groups others and adds them the same way.
function(orv_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# Gives every test of the calling folder that has no timeout of its own
# (tests registered by hand with add_test) the default one.
function(orv_default_test_timeouts)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test ${tests})
    get_test_property(${test} TIMEOUT timeout)
    if(NOT timeout)
      set_tests_properties(${test} PROPERTIES TIMEOUT ${ORV_TEST_TIMEOUT})
    endif()
  endforeach()
endfunction()

# Every target below dir, depth first.
function(orv_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    orv_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Called once every folder is read. Test programs (tests, fuzz drivers and
# the test-only programs) are test code; the test binaries share one
# precompiled GoogleTest header, built once (one per binary cost as much
# as it saved). Benchmarks are left out of the default build unless
# ORV_BENCHMARKS is on.
function(orv_finish_targets)
  orv_targets_below(${PROJECT_SOURCE_DIR} targets)
  if(ORV_TESTS)
    # Written only when its text changes: a new time stamp would rebuild it
    # on every configure.
    file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/orv_test_pch.cpp
      CONTENT "// The test binaries' shared precompiled header.\n")
    add_library(orv_test_pch OBJECT ${CMAKE_BINARY_DIR}/orv_test_pch.cpp)
    target_link_libraries(orv_test_pch PRIVATE orv_flags GTest::gtest GTest::gmock)
    set_target_properties(orv_test_pch PROPERTIES ORV_TEST_CODE ON)
    target_precompile_headers(orv_test_pch PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  endif()
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      # A library's files share most of their headers: eight to a unit
      # they build in about half the CPU time.
      set_target_properties(${t} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
      target_compile_options(${t} PRIVATE -Wno-subobject-linkage)
      continue()
    endif()
    if(NOT type STREQUAL "EXECUTABLE")
      continue()
    endif()
    if(t MATCHES "_bench$")
      if(NOT ORV_BENCHMARKS)
        set_target_properties(${t} PROPERTIES EXCLUDE_FROM_ALL ON)
      endif()
    elseif(t MATCHES "_tests$|^fuzz_|^orv_net_player$|^lobby_server$")
      set_target_properties(${t} PROPERTIES ORV_TEST_CODE ON)
      # The sanitizers' data (globals, type descriptors) makes a position
      # independent test binary relocate tens of megabytes at each start; a
      # fixed one starts about a quarter quicker, each of its tests a process.
      if(ORV_SANITIZE OR ORV_TSAN)
        target_link_options(${t} PRIVATE -no-pie)
      endif()
      if(t MATCHES "_tests$")
        target_precompile_headers(${t} REUSE_FROM orv_test_pch)
        # Test files share the headers they test and those headers' inline
        # code: compiled sixteen to a unit, they build about three times faster
        # than alone (a tenth faster than eight to a unit).
        # Types of a file's anonymous namespace are not a header's there.
        # Each file keeps its own names in `namespace ORV_TEST_FILE_ID`
        # (scripts/test-file-names.py), a name unique to the file in its unit, so
        # any batching of a folder's files builds.
        set_target_properties(${t} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 16
          UNITY_BUILD_UNIQUE_ID ORV_TEST_FILE_ID)
        target_compile_options(${t} PRIVATE -Wno-subobject-linkage)
      endif()
    endif()
  endforeach()
endfunction()
