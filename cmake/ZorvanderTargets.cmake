# Shared target conventions: one static library per subsystem, the same warning set and
# sanitizer flags everywhere, and include paths that enforce the dependency direction.
#
# Sources include headers by their repository path ("world/world.h"), but the repository
# root is never on the include path. Each library publishes only its own headers, through
# a folder of links in the build tree (include/<target>/<folder>/<header>), so a library
# that includes a header of a library it does not link fails to compile.

set(ZORV_SANITIZE "" CACHE STRING "Sanitizers for every target: empty, 'address,undefined' or 'thread'")

function(zorv_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
    -Wno-sign-conversion -Wnon-virtual-dtor -Woverloaded-virtual)
  if(ZORV_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(ZORV_SANITIZE)
    set(flags -fsanitize=${ZORV_SANITIZE} -fno-omit-frame-pointer)
    if(ZORV_SANITIZE MATCHES "undefined")
      list(APPEND flags -fno-sanitize-recover=undefined)
    endif()
    target_compile_options(${target} PRIVATE ${flags})
    target_link_options(${target} PRIVATE -fsanitize=${ZORV_SANITIZE})
  endif()
endfunction()

# Links each header into the target's own include folder and returns that folder.
function(zorv_publish_headers target headers out_dir)
  set(dir "${CMAKE_BINARY_DIR}/include/${target}")
  file(RELATIVE_PATH folder "${PROJECT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}")
  file(REMOVE_RECURSE "${dir}")
  foreach(header IN LISTS headers)
    get_filename_component(header "${header}" ABSOLUTE)
    file(RELATIVE_PATH relative "${CMAKE_CURRENT_SOURCE_DIR}" "${header}")
    get_filename_component(parent "${dir}/${folder}/${relative}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${header}" "${dir}/${folder}/${relative}" SYMBOLIC)
  endforeach()
  set(${out_dir} "${dir}" PARENT_SCOPE)
endfunction()

# zorv_library(NAME [HEADER_ONLY] [DEPS targets...] [SOURCES files...] [HEADERS files...]
#              [EXCLUDE files...]) forms the library zorv_NAME, one per folder. Without
# SOURCES/HEADERS it takes every .cpp/.h of the calling folder (sub-folders included) but
# the files named in EXCLUDE and any main.cpp (an executable's entry point); HEADER_ONLY
# takes no sources at all.
function(zorv_library name)
  cmake_parse_arguments(ARG "HEADER_ONLY" "" "DEPS;SOURCES;HEADERS;EXCLUDE" ${ARGN})
  list(TRANSFORM ARG_EXCLUDE PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/")
  if(NOT ARG_SOURCES AND NOT ARG_HEADER_ONLY)
    file(GLOB_RECURSE ARG_SOURCES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    list(FILTER ARG_SOURCES EXCLUDE REGEX "/main\\.cpp$")
  endif()
  if(NOT ARG_HEADERS)
    file(GLOB_RECURSE ARG_HEADERS CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  endif()
  list(TRANSFORM ARG_SOURCES PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/" REGEX "^[^/]")
  list(TRANSFORM ARG_HEADERS PREPEND "${CMAKE_CURRENT_SOURCE_DIR}/" REGEX "^[^/]")
  if(ARG_EXCLUDE)
    list(REMOVE_ITEM ARG_SOURCES ${ARG_EXCLUDE})
    list(REMOVE_ITEM ARG_HEADERS ${ARG_EXCLUDE})
  endif()

  zorv_publish_headers(zorv_${name} "${ARG_HEADERS}" include_dir)
  if(ARG_SOURCES)
    add_library(zorv_${name} STATIC ${ARG_SOURCES})
    target_include_directories(zorv_${name} PUBLIC "${include_dir}")
    target_link_libraries(zorv_${name} PUBLIC ${ARG_DEPS})
    zorv_target_defaults(zorv_${name})
  else()
    add_library(zorv_${name} INTERFACE)
    target_include_directories(zorv_${name} INTERFACE "${include_dir}")
    target_link_libraries(zorv_${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# zorv_executable(NAME SOURCES...) with the project's defaults; link it yourself.
function(zorv_executable name)
  add_executable(${name} ${ARGN})
  zorv_target_defaults(${name})
endfunction()

# zorv_test_suite(NAME [THREADED] [DIR folder] [ENVIRONMENT VAR=value...] DEPS targets...):
# every .cpp of tests/DIR (DIR defaults to NAME) forms the test executable test_NAME, whose
# GoogleTest cases are registered with CTest (label "unit", or "threaded" for suites that
# start threads, which the tsan preset builds through zorv_threaded_tests and runs).
add_custom_target(zorv_threaded_tests)
function(zorv_test_suite name)
  cmake_parse_arguments(ARG "THREADED" "DIR" "DEPS;ENVIRONMENT" ${ARGN})
  if(NOT ARG_DIR)
    set(ARG_DIR "${name}")
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR}/*.cpp")
  if(NOT sources)
    return()
  endif()
  zorv_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(test_${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
  # One label each: discovered tests cannot carry a list-valued property.
  set(label unit)
  if(ARG_THREADED)
    set(label threaded)
    add_dependencies(zorv_threaded_tests test_${name})
  endif()
  if(ARG_ENVIRONMENT)
    # The cases and their discovery run through env(1): some libraries read their variables
    # at load time, and a list-valued ENVIRONMENT property would not survive discovery.
    set_target_properties(test_${name} PROPERTIES CROSSCOMPILING_EMULATOR "env;${ARG_ENVIRONMENT}")
  endif()
  gtest_discover_tests(test_${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${label})
endfunction()

# zorv_benchmark(NAME DEPS targets...): every .cpp of bench/NAME forms bench_NAME.
function(zorv_benchmark name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp")
  if(NOT sources)
    return()
  endif()
  zorv_executable(bench_${name} ${sources})
  target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()
