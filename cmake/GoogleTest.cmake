# GoogleTest is built from Debian's source package so that every preset (native, sanitizers,
# MinGW cross builds) compiles it with the same compiler and flags as the code under test.
set(TVL_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
if(NOT EXISTS "${TVL_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${TVL_GTEST_SOURCE_DIR}; "
                      "install Debian's googletest package (tools/install-deps.sh does).")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory("${TVL_GTEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/_googletest" EXCLUDE_FROM_ALL)
include(GoogleTest)

# Scratch-file helpers shared by every suite.
add_library(tvl_test_support STATIC ${PROJECT_SOURCE_DIR}/tests/test_files.h
                                    ${PROJECT_SOURCE_DIR}/tests/test_files.cpp)
target_include_directories(tvl_test_support PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tvl_test_support PUBLIC tvl_platform GTest::gtest)
tvl_warnings(tvl_test_support)

# tvl_add_test(name SOURCES... LIBS...): one GoogleTest executable registered with CTest.
function(tvl_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tvl_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tvl_test_support GTest::gtest GTest::gtest_main)
  # Discovery at test time runs the binary; under Wine that is slow, so register the whole binary.
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "TVL_TEST_TMP=${CMAKE_BINARY_DIR}/test-tmp")
endfunction()
