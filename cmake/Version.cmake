# The version has one source, project(VERSION) in the top CMakeLists.txt: this writes it into a
# header that the resource script, the About dialog and tarvelline-cli all include.
configure_file(${CMAKE_CURRENT_LIST_DIR}/tvl_version.h.in
               ${PROJECT_BINARY_DIR}/generated/tvl_version.h @ONLY)
add_library(tvl_version INTERFACE)
target_include_directories(tvl_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

# Builds of one commit repeat byte for byte: time stamps come from the last commit unless
# SOURCE_DATE_EPOCH says otherwise, and no path of the build machine reaches the binaries.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE tvl_commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE tvl_git_result ERROR_QUIET)
    if(tvl_git_result EQUAL 0 AND tvl_commit_time MATCHES "^[0-9]+$")
      set(ENV{SOURCE_DATE_EPOCH} ${tvl_commit_time})
    endif()
  endif()
endif()
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
