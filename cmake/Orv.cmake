# Flags shared by every target of our own.
add_library(orv_flags INTERFACE)
target_compile_options(orv_flags INTERFACE
  -Wall -Wextra -Werror
  # Text inside the system is code page 932; sources stay UTF-8. GCC 12's
  # <chrono> holds a literal that code page 932 cannot encode: take the clocks
  # and durations from <thread> or <condition_variable> instead.
  -finput-charset=UTF-8 -fexec-charset=CP932 -fno-char8_t
  # Battles must replay bit for bit: no fused multiply-add, no fast-math.
  -ffp-contract=off -fno-fast-math)
target_include_directories(orv_flags INTERFACE ${PROJECT_SOURCE_DIR})
find_package(Threads REQUIRED)
target_link_libraries(orv_flags INTERFACE Threads::Threads)

if(ORV_SANITIZE)
  target_compile_options(orv_flags INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(orv_flags INTERFACE -fsanitize=address,undefined)
endif()

# orv_library(<target> [DEPS <public deps>...] [PRIVATE_DEPS <deps>...])
# One static library from the .cpp files of the calling folder; tests/*.cpp
# beside it become <target>_tests, registered with CTest.
function(orv_library target)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;TEST_DEPS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT srcs)
    # Headers only, so far.
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE orv_flags ${ARG_DEPS} ${ARG_PRIVATE_DEPS})
    return()
  endif()
  add_library(${target} STATIC ${srcs})
  target_link_libraries(${target} PUBLIC orv_flags ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})

  file(GLOB test_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(ORV_TESTS AND test_srcs)
    add_executable(${target}_tests ${test_srcs})
    target_link_libraries(${target}_tests PRIVATE ${target} ${ARG_TEST_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${target}_tests DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "SDL_VIDEODRIVER=offscreen;SDL_AUDIODRIVER=dummy")
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
