# Puts a store's patches beside the page instead of inside the core: <site>/patches/<name>.vcdiff
# for every name of the patch table whose file the store has, and <site>/patches/index.json, the
# list of those names, which the page reads to know what it can convert before fetching any.
# Usage: cmake -DSTORE=<store folder> -DSITE=<site folder> -DNAMES=<patch_names.cpp> -P copy_patches.cmake
file(STRINGS "${NAMES}" lines REGEX "u\"[a-z0-9_]+\"")
file(REMOVE_RECURSE "${SITE}/patches")
file(MAKE_DIRECTORY "${SITE}/patches")
set(listed "")
foreach(line IN LISTS lines)
  string(REGEX MATCH "u\"([a-z0-9_]+)\"" _ "${line}")
  set(name "${CMAKE_MATCH_1}")
  if(EXISTS "${STORE}/${name}.vcdiff" AND NOT IS_DIRECTORY "${STORE}/${name}.vcdiff")
    file(COPY_FILE "${STORE}/${name}.vcdiff" "${SITE}/patches/${name}.vcdiff" ONLY_IF_DIFFERENT)
    if(listed)
      string(APPEND listed ",")
    endif()
    string(APPEND listed "\n  \"${name}\"")
  endif()
endforeach()
file(WRITE "${SITE}/patches/index.json" "[${listed}\n]\n")
