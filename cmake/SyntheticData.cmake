# The synthetic test data, made on the build host: release files that look like real IWAD
# releases, the catalogue overlay that gives chosen releases their digests, and the patch store
# that build-store makes from them. Cross builds run these rules in a native sub-build.

# The releases as synthesize writes them, and the patches build-store makes from the stored ones.
set(TVL_SYNTHETIC_STORED_RELEASES
    doom2_v19 doom2_v1666 doom2_xbox doom2_zodiac tnt_v19 tnt_psnusa freedoom1_v0.9)
set(TVL_SYNTHETIC_UNSTORED_RELEASES tnt_psneur)
set(TVL_SYNTHETIC_PATCHES
    doom2_v19_to_doom2_v1666 doom2_v1666_to_doom2_v19 doom2_v19_to_doom2_xbox
    doom2_xbox_to_doom2_v19 doom2_v19_to_doom2_zodiac doom2_zodiac_to_doom2_v19
    tnt_v19_to_tnt_psnusa tnt_psnusa_to_tnt_v19)

# The files of the synthetic data under <out>, in <var>.
function(tvl_synthetic_outputs out var)
  set(files "${out}/digests_synthetic.cpp")
  foreach(id IN LISTS TVL_SYNTHETIC_STORED_RELEASES)
    list(APPEND files "${out}/releases/${id}.wad")
  endforeach()
  foreach(id IN LISTS TVL_SYNTHETIC_UNSTORED_RELEASES)
    list(APPEND files "${out}/releases/unstored/${id}.wad")
  endforeach()
  foreach(name IN LISTS TVL_SYNTHETIC_PATCHES)
    list(APPEND files "${out}/store/${name}.vcdiff")
  endforeach()
  set(${var} "${files}" PARENT_SCOPE)
endfunction()

# Host rules: target tvl_synthetic_data makes everything under <out>.
function(tvl_add_synthetic_data_rules out)
  add_executable(tvl_synthesize "${PROJECT_SOURCE_DIR}/tests/synthetic/synthesize.cpp")
  target_link_libraries(tvl_synthesize PRIVATE tvl_catalogue tvl_digests_release)
  tvl_warnings(tvl_synthesize)

  set(overlay "${out}/digests_synthetic.cpp")
  tvl_synthetic_outputs("${out}" outputs)
  list(FILTER outputs EXCLUDE REGEX "\\.vcdiff$")
  add_custom_command(OUTPUT ${outputs}
    COMMAND tvl_synthesize "${out}/releases" "${overlay}"
    DEPENDS tvl_synthesize
    COMMENT "Making the synthetic releases")

  # build-store needs a tarvelline-cli that knows the synthetic digests.
  add_library(tvl_digests_synthetic_host OBJECT "${overlay}")
  target_link_libraries(tvl_digests_synthetic_host PUBLIC tvl_catalogue)
  add_executable(tvl_cli_synthetic "${PROJECT_SOURCE_DIR}/cli/main.cpp")
  target_link_libraries(tvl_cli_synthetic PRIVATE tvl_cli tvl_digests_synthetic_host tvl_patch_store)

  set(patches "")
  foreach(name IN LISTS TVL_SYNTHETIC_PATCHES)
    list(APPEND patches "${out}/store/${name}.vcdiff")
  endforeach()
  add_custom_command(OUTPUT ${patches}
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${out}/store"
    COMMAND tvl_cli_synthetic build-store --releases "${out}/releases" --output "${out}/store"
            > "${out}/build-store.log"
    DEPENDS tvl_cli_synthetic ${outputs}
    COMMENT "Building the synthetic patch store")
  add_custom_target(tvl_synthetic_data ALL DEPENDS ${outputs} ${patches})
endfunction()

# Target <name>: a native sub-build of this source tree that makes the synthetic data under <out>,
# for builds whose own compiler makes programs this machine can't run (Windows, the browser).
function(tvl_add_synthetic_host_build name out)
  include(ExternalProject)
  tvl_synthetic_outputs("${out}" outputs)
  ExternalProject_Add(${name}
    SOURCE_DIR "${PROJECT_SOURCE_DIR}"
    BINARY_DIR "${CMAKE_BINARY_DIR}/host-tools"
    CMAKE_GENERATOR Ninja
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
               -DTVL_BUILD_TESTS=OFF "-DTVL_SYNTHETIC_OUT=${out}"
    BUILD_COMMAND "${CMAKE_COMMAND}" --build <BINARY_DIR> --target tvl_synthetic_data
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${outputs})
endfunction()
