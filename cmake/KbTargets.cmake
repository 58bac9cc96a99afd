# One static library per subsystem folder: every .cpp below the folder belongs to it.
function(kb_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
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

# One GoogleTest binary per test folder. NULL_ALLOCATOR_TESTS is a test filter naming the
# tests that need an impossible allocation to fail rather than abort the process, as the
# sanitizers' allocators do unless they are allowed to return null.
function(kb_test name)
  cmake_parse_arguments(ARG "" "NULL_ALLOCATOR_TESTS" "DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} kb_test_support GTest::gmock GTest::gtest_main)
  if(NOT ARG_NULL_ALLOCATOR_TESTS)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    return()
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "-${ARG_NULL_ALLOCATOR_TESTS}"
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 TEST_FILTER "${ARG_NULL_ALLOCATOR_TESTS}"
                       PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                       ENVIRONMENT_MODIFICATION "ASAN_OPTIONS=string_append::allocator_may_return_null=1")
endfunction()

# One Google Benchmark program per source file in bench/.
function(kb_bench source)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  get_filename_component(stem ${source} NAME_WE)
  add_executable(bench_${stem} ${source})
  target_link_libraries(bench_${stem} PRIVATE ${ARG_DEPS} benchmark::benchmark)
endfunction()
