# Shared target conventions: one static library per subsystem folder, the repository
# root on the include path, and the same warning set everywhere.

function(zorv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Woverloaded-virtual)
  if(ZORV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# zorv_library(NAME [DEPS targets...]): every .cpp file of the calling folder
# (sub-folders included) forms the library zorv_NAME.
function(zorv_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(sources)
    add_library(zorv_${name} STATIC ${sources})
    target_include_directories(zorv_${name} PUBLIC "${PROJECT_SOURCE_DIR}")
    target_link_libraries(zorv_${name} PUBLIC ${ARG_DEPS})
    zorv_warnings(zorv_${name})
  else()
    add_library(zorv_${name} INTERFACE)
    target_include_directories(zorv_${name} INTERFACE "${PROJECT_SOURCE_DIR}")
    target_link_libraries(zorv_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# zorv_test_suite(NAME DEPS targets... [LABELS labels...]): every .cpp of tests/NAME forms
# the test executable test_NAME, whose GoogleTest cases are registered with CTest (label
# "unit" plus LABELS).
function(zorv_test_suite name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  zorv_warnings(test_${name})
  set(labels unit ${ARG_LABELS})
  gtest_discover_tests(test_${name} PROPERTIES LABELS "${labels}" DISCOVERY_TIMEOUT 60)
endfunction()

# zorv_benchmark(NAME DEPS targets...): every .cpp of bench/NAME forms bench_NAME.
function(zorv_benchmark name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(bench_${name} ${sources})
  target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
  zorv_warnings(bench_${name})
endfunction()
