# Writes a site's service worker from its template: the lists of the site's files and of its
# patches, and a version that is a digest of all of them, so each build that changes any file gets
# a worker of its own.
# Usage: cmake -DSITE=<site folder> -DTEMPLATE=<service_worker.js.in> -P stamp_site.cmake
file(GLOB_RECURSE files RELATIVE "${SITE}" "${SITE}/*")
list(REMOVE_ITEM files service_worker.js)
list(SORT files)
set(digests "")
set(listed "")
set(patches "")
foreach(file IN LISTS files)
  file(SHA256 "${SITE}/${file}" digest)
  string(APPEND digests "${file} ${digest}\n")
  # Listed apart: the page fetches a patch only when a conversion needs it, and the service
  # worker keeps them all for use offline.
  if(file MATCHES "^patches/.*\\.vcdiff$")
    if(patches)
      string(APPEND patches ", ")
    endif()
    string(APPEND patches "'./${file}'")
    continue()
  endif()
  if(listed)
    string(APPEND listed ", ")
  endif()
  string(APPEND listed "'./${file}'")
endforeach()
string(SHA256 version "${digests}")
string(SUBSTRING "${version}" 0 16 SITE_VERSION)
set(SITE_FILES "${listed}")
set(SITE_PATCHES "${patches}")
configure_file("${TEMPLATE}" "${SITE}/service_worker.js" @ONLY)
