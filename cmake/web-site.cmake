# The site's last step, after every build of it: the program gzip-compressed beside itself, as
# the images are (no name or time in the header), then the service worker (sw.js) from its template:
# its version is a hash of every other file of the site, names and contents, so a new build
# is a new worker and the same build the same bytes. It keeps every file but the icons,
# which the browser keeps itself when the lab is installed, and the notices, read seldom.
# cmake -DSITE=DIR -DTEMPLATE=src/web/sw.js [-DGZIP=gzip] -P cmake/web-site.cmake
if(GZIP)
  execute_process(COMMAND ${GZIP} -9nkf "${SITE}/ostrel-lab.wasm" COMMAND_ERROR_IS_FATAL ANY)
endif()
file(GLOB_RECURSE files RELATIVE "${SITE}" LIST_DIRECTORIES false "${SITE}/*")
list(REMOVE_ITEM files sw.js)
list(SORT files)
set(contents "")
set(kept "")
foreach(file ${files})
  file(SHA256 "${SITE}/${file}" hash)
  string(APPEND contents "${hash}  ${file}\n")
  if(NOT file MATCHES "[.](png|txt)$")
    list(APPEND kept "'${file}'")
  endif()
endforeach()
string(SHA256 version "${contents}")
string(SUBSTRING ${version} 0 16 LAB_SITE_VERSION)
list(JOIN kept ", " LAB_SITE_FILES)
configure_file("${TEMPLATE}" "${SITE}/sw.js" @ONLY)
