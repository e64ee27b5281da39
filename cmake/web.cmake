# The browser build (cmake --preset web): the program alone, the lab's own sources
# unchanged over src/web's GL, GLU and GLUT, as a static site in site/ of the build folder,
# apart from CMake's own files (whose logs hold absolute paths).
set(SITE ${CMAKE_BINARY_DIR}/site)
add_executable(ostrel-lab src/app/main.cpp src/texture/tga.cpp ${LAB_SOURCES}
  src/web/gl.cpp src/web/glu.cpp src/web/glut.cpp src/web/meshes.cpp src/web/solids.cpp src/web/scale.cpp)
set_target_properties(ostrel-lab PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${SITE})
# Ahead of emscripten's own legacy GL headers.
target_include_directories(ostrel-lab BEFORE PRIVATE src/web/include src src/web)

# The images go beside the page; the page fetches the ones this list names, each as it is
# and gzip-compressed (no name or time in the header: the same image, the same bytes), and
# the page's head asks at once for the form the browser will take.
file(GLOB LAB_IMAGES RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS data/*.tga)
list(TRANSFORM LAB_IMAGES PREPEND "\"" OUTPUT_VARIABLE quoted)
list(TRANSFORM quoted APPEND "\"")
list(JOIN quoted ", " quoted)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/data-files.js CONTENT "Module.labDataFiles = [${quoted}];\n")
find_program(GZIP gzip REQUIRED)
foreach(image ${LAB_IMAGES})
  configure_file(${image} ${SITE}/${image} COPYONLY)
  execute_process(COMMAND ${GZIP} -9nkf ${SITE}/${image} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
set(LAB_PRELOADS "\"ostrel-lab.wasm\", ${quoted}")
configure_file(src/web/index.html ${SITE}/index.html @ONLY)
# Installable: the manifest and its icons, the lab's own starting view (tools/images/make-icon).
foreach(file manifest.webmanifest icon-192.png icon-512.png)
  configure_file(src/web/${file} ${SITE}/${file} COPYONLY)
endforeach()

# NOTICES.txt: the page's program holds emscripten's runtime (its JavaScript, and its C and
# C++ libraries compiled in), whose licences ask for their notices: emscripten's own LICENSE
# where it has one (emsdk's), else its Debian package's copyright.
include(cmake/notices.cmake)
set(notices "Ostrel Lab in the browser: ostrel-lab.js and ostrel-lab.wasm hold, besides the lab's own \
code (MIT, as the lab's repository says), emscripten's runtime, whose licences ask that their notices come with it.\n")
file(REAL_PATH ${OSTREL_EMCC} emcc)
get_filename_component(emscriptenRoot ${emcc} DIRECTORY)
if(EXISTS ${emscriptenRoot}/LICENSE)
  labNoticeFile(notices "emscripten's runtime, compiled in" "emscripten's release in ${emscriptenRoot}" ${emscriptenRoot}/LICENSE)
else()
  labNoticeOf(notices "emscripten's runtime, compiled in" ${emcc})
endif()
file(CONFIGURE OUTPUT ${SITE}/NOTICES.txt CONTENT "\${notices}")

# Each script's path is quoted: a folder name may hold spaces.
set(webScripts --js-library src/web/page.js --js-library src/web/input.js
  --pre-js ${CMAKE_BINARY_DIR}/data-files.js --pre-js src/web/pre.js)
set(linkDepends)
while(webScripts)
  list(POP_FRONT webScripts flag script)
  get_filename_component(script ${script} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
  target_link_options(ostrel-lab PRIVATE "SHELL:${flag} \"${script}\"")
  list(APPEND linkDepends ${script})
endwhile()
# Small over fast: every byte is a visitor's wait, and a frame is under a millisecond of the
# program's time. ASYNCIFY lets the pass that makes the first frame yield (src/web/slices.h).
target_compile_options(ostrel-lab PRIVATE -Os)
target_link_options(ostrel-lab PRIVATE -Os
  -sENVIRONMENT=web -sEXIT_RUNTIME=1 -sALLOW_MEMORY_GROWTH=1 -sFORCE_FILESYSTEM=1 -sASYNCIFY=1 -sASYNCIFY_IMPORTS=webYield)
set_property(TARGET ostrel-lab APPEND PROPERTY LINK_DEPENDS ${linkDepends})
# The compressed program and the service worker last, from the whole site as built: at every
# build, written when they change.
add_custom_target(site-worker ALL COMMAND ${CMAKE_COMMAND} -DSITE=${SITE} -DTEMPLATE=${CMAKE_SOURCE_DIR}/src/web/sw.js
  -DGZIP=${GZIP} -P ${CMAKE_SOURCE_DIR}/cmake/web-site.cmake DEPENDS ostrel-lab VERBATIM)

# The browser tests: the site in Chromium, driven with playwright-core (npm ci in tests/web/,
# a step of their own), its pictures held against the native program's, built in the native
# tree first; on the tests' own X server, whose GL is the native program's; Firefox ESR and
# WebKitGTK too (engines_test.mjs), and nginx and Apache as hosts run them (hosts_test.mjs).
# Each file of tests/web/ a test: browser.lab_browser, browser.page, browser.engines,
# browser.hosts.
enable_testing()
include(cmake/build-steps.cmake)
find_program(OSTREL_CHROMIUM NAMES chromium chromium-browser)
if(NOT OSTREL_CHROMIUM)
  set(OSTREL_CHROMIUM /usr/bin/chromium)  # where Debian's is: the tests then say it is missing
endif()
# Firefox ESR and WebKitGTK's MiniBrowser, for the tests of each engine (engines_test.mjs).
find_program(OSTREL_FIREFOX NAMES firefox-esr firefox)
if(NOT OSTREL_FIREFOX)
  set(OSTREL_FIREFOX /usr/bin/firefox-esr)
endif()
file(GLOB OSTREL_MINIBROWSER /usr/lib/*/webkit2gtk-4.1/MiniBrowser /usr/libexec/webkit2gtk-4.1/MiniBrowser)
if(OSTREL_MINIBROWSER)
  list(GET OSTREL_MINIBROWSER 0 OSTREL_MINIBROWSER)
else()
  set(OSTREL_MINIBROWSER /usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/webkit2gtk-4.1/MiniBrowser)
endif()
find_program(OSTREL_NPM npm)
if(NOT OSTREL_NPM)
  set(OSTREL_NPM npm)  # the step then fails naming it
endif()
labNativeStep(build:native-browser ostrel-lab lab-pose tga-to-ppm)
labBuildStep(build:browser ${CMAKE_BINARY_DIR})
add_test(NAME npm-ci COMMAND ${OSTREL_NPM} ci --no-audit --no-fund --loglevel=error
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/tests/web)
set_tests_properties(npm-ci PROPERTIES FIXTURES_SETUP npm-ci RESOURCE_LOCK ${CMAKE_SOURCE_DIR}/tests/web TIMEOUT 600)
# Debian's nginx and Apache with the tests' own configuration (tests/web/hosts/), started
# once for the browser tests that put the site on them, on loopback ports of their own.
set(labHostsFile ${CMAKE_BINARY_DIR}/Testing/hosts.json)
add_test(NAME hosts COMMAND ${CMAKE_SOURCE_DIR}/tests/web/hosts/hosts start ${labHostsFile})
add_test(NAME hosts-end COMMAND ${CMAKE_SOURCE_DIR}/tests/web/hosts/hosts stop ${labHostsFile})
set_tests_properties(hosts PROPERTIES FIXTURES_SETUP hosts)
set_tests_properties(hosts-end PROPERTIES FIXTURES_CLEANUP hosts)
file(GLOB browserTests RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS tests/web/*_test.mjs)
foreach(file ${browserTests})
  get_filename_component(name ${file} NAME_WE)
  string(REGEX REPLACE "_test$" "" name ${name})
  add_test(NAME browser.${name} COMMAND ${labOnDisplay} node --test --test-reporter=spec ${file}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(browser.${name} PROPERTIES TIMEOUT 1800 RUN_SERIAL TRUE
    FIXTURES_REQUIRED "build:native-browser;build:browser;npm-ci" ENVIRONMENT
    "OSTREL_BUILD=${OSTREL_NATIVE_BUILD};OSTREL_WEB_BUILD=${CMAKE_BINARY_DIR};CHROMIUM=${OSTREL_CHROMIUM};FIREFOX=${OSTREL_FIREFOX};MINIBROWSER=${OSTREL_MINIBROWSER}")
  if(name STREQUAL "hosts")  # compares with no native picture
    set_tests_properties(browser.${name} PROPERTIES FIXTURES_REQUIRED "build:browser;npm-ci;hosts")
    set_property(TEST browser.${name} APPEND PROPERTY ENVIRONMENT LAB_HOSTS=${labHostsFile})
  endif()
  labNeedsDisplay(browser.${name})
  list(APPEND browserGroup browser.${name})
endforeach()
set_tests_properties(${browserGroup} build:native-browser build:browser npm-ci hosts hosts-end PROPERTIES LABELS browser)
labTestsOwnEnvironment()
