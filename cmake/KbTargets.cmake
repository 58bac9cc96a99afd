# One static library per subsystem folder: every .cpp below the folder belongs to it, except
# those matching an EXCLUDE pattern.
function(kb_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  # A subfolder that is a library of its own.
  foreach(pattern ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT sources)
    # A subsystem with headers only so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One GoogleTest binary per test folder.
function(kb_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(pattern ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kb_test_support GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# One Google Benchmark program per source file in bench/.
function(kb_bench source)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  get_filename_component(stem ${source} NAME_WE)
  add_executable(bench_${stem} ${source})
  target_link_libraries(bench_${stem} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()
