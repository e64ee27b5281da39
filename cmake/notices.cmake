# The notices that the licences of others' code in a download ask for, each with where that
# code's source can be had. The code is named by the files the build takes it from (a
# library linked in, the compiler that wrote a runtime); on Debian, each file's package
# gives its copyright file, its version and its source package.
find_program(DPKG_QUERY dpkg-query)

# labNoticeOf(VAR WHAT FILE...): a section for each Debian source package the files come
# from, appended to VAR; off Debian, a line naming the files.
function(labNoticeOf var what)
  set(text "${${var}}")
  set(sources)
  foreach(file ${ARGN})
    file(REAL_PATH ${file} real)
    set(package)
    if(DPKG_QUERY)
      # dpkg knows a file by the path its package ships, before or after /usr was merged.
      string(REGEX REPLACE "^/usr/" "/" unmerged ${real})
      foreach(path ${real} ${unmerged} ${file})
        execute_process(COMMAND ${DPKG_QUERY} -S ${path} OUTPUT_VARIABLE owner ERROR_QUIET
          RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT failed)
          string(REGEX REPLACE "[,:].*" "" package "${owner}")
          break()
        endif()
      endforeach()
    endif()
    if(NOT package)
      string(APPEND text "\n==== ${what}: ${file} ====\nNot from a Debian package: see the licence of the toolchain it came with.\n")
      continue()
    endif()
    execute_process(COMMAND ${DPKG_QUERY} -W "-f=\${Version} \${source:Package} \${source:Version}" ${package}
      OUTPUT_VARIABLE found COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(found UNIX_COMMAND "${found}")
    list(GET found 0 version)
    list(GET found 1 source)
    list(GET found 2 sourceVersion)
    if(source IN_LIST sources)
      continue()
    endif()
    list(APPEND sources ${source})
    file(READ /usr/share/doc/${package}/copyright copyright)
    string(APPEND text "\n==== ${what}: Debian's ${package} ${version} ====\n"
      "Source: Debian's source package ${source} ${sourceVersion} (apt-get source ${source}=${sourceVersion})\n\n${copyright}")
  endforeach()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

# labNoticeFile(VAR WHAT SOURCE FILE): FILE's text as a section, SOURCE saying where its code is.
function(labNoticeFile var what source file)
  file(READ ${file} notice)
  set(${var} "${${var}}\n==== ${what} ====\nSource: ${source}\n\n${notice}" PARENT_SCOPE)
endfunction()
