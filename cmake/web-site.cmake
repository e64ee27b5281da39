# The site's last step, after every build of it: the program gzip-compressed beside itself, as
# the images are (no name or time in the header), the site's file list into the page's script,
# then the service worker (sw.js) from its template: its version is a hash of every other
# file of the site, names and contents, so a new build is a new worker (and a new name for
# the page's script) and the same build the same bytes. It keeps every file but the icons,
# which the browser keeps itself when the lab is installed, and the notices, read seldom.
# cmake -DSITE=DIR -DTEMPLATE=src/web/sw.js [-DGZIP=gzip] -P cmake/web-site.cmake
if(GZIP)
  execute_process(COMMAND ${GZIP} -9nkf "${SITE}/ostrel-lab.wasm" COMMAND_ERROR_IS_FATAL ANY)
endif()
file(GLOB_RECURSE files RELATIVE "${SITE}" LIST_DIRECTORIES false "${SITE}/*")
list(REMOVE_ITEM files sw.js)
list(SORT files)
# The page names every file of the site to a host that did not upload one: pre.js's
# labSiteFiles, written into the linked script before it is hashed below.
set(names ${files} sw.js)
list(SORT names)
list(JOIN names "\", \"" names)
set(listed "labSiteFiles ?= ?\\[[^]]*\\];")
file(READ "${SITE}/ostrel-lab.js" script)
if(NOT script MATCHES "${listed}")
  message(FATAL_ERROR "${SITE}/ostrel-lab.js holds no labSiteFiles = [...] to list the site's files in")
endif()
string(REGEX REPLACE "${listed}" "labSiteFiles = [\"${names}\"];" listedScript "${script}")
if(NOT listedScript STREQUAL script)
  file(WRITE "${SITE}/ostrel-lab.js" "${listedScript}")
endif()
# The page names its script with the version (ostrel-lab.js?v=...): a browser may hand a
# reloaded page the script it holds in memory, unasked, when its name is the same. The
# version is made from the page without it.
set(scriptName "ostrel-lab[.]js([?]v=[0-9a-f]*)?\"")
file(READ "${SITE}/index.html" written)
string(REGEX REPLACE "${scriptName}" "ostrel-lab.js\"" page "${written}")
set(contents "")
set(kept "")
foreach(file ${files})
  if(file STREQUAL "index.html")
    string(SHA256 hash "${page}")
  else()
    file(SHA256 "${SITE}/${file}" hash)
  endif()
  string(APPEND contents "${hash}  ${file}\n")
  if(NOT file MATCHES "[.](png|txt)$")
    list(APPEND kept "'${file}'")
  endif()
endforeach()
string(SHA256 version "${contents}")
string(SUBSTRING ${version} 0 16 LAB_SITE_VERSION)
list(JOIN kept ", " LAB_SITE_FILES)
configure_file("${TEMPLATE}" "${SITE}/sw.js" @ONLY)
string(REGEX REPLACE "${scriptName}" "ostrel-lab.js?v=${LAB_SITE_VERSION}\"" page "${page}")
if(NOT page STREQUAL written)
  file(WRITE "${SITE}/index.html" "${page}")
endif()
