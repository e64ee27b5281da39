# Run by CPack after it has made its packages (CPACK_POST_BUILD_SCRIPTS): each made again
# where CPack's own bytes depend on the file system or the user packing.
# - The zip: tools/windows/sorted-zip (entries in name order, no user or group ids).
# - The .deb: CPack's Installed-Size adds up the file system's sizes of the folders (4 KiB
#   each on ext4, less on tmpfs), so it is counted again as dpkg-gencontrol counts (each
#   file's size in KiB rounded up, 1 for each folder or link) and the package is built
#   again by dpkg-deb, which sorts its members, gives them root's ids and clamps their times
#   to SOURCE_DATE_EPOCH. Modes are made the same whatever the umask (0644, or 0755 where
#   the owner may run it).
foreach(package ${CPACK_PACKAGE_FILES})
  if(package MATCHES "[.]zip$")
    execute_process(COMMAND ${CPACK_OSTREL_SORTED_ZIP} ${package} COMMAND_ERROR_IS_FATAL ANY)
  elseif(package MATCHES "[.]deb$")
    set(tree ${package}.tree)
    file(REMOVE_RECURSE ${tree})
    execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND chmod -R u+rw,go=u-w ${tree} COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${tree} ${tree}/*)
    set(size 0)
    foreach(entry ${entries})
      if(entry MATCHES "^DEBIAN(/|$)")
        continue()
      elseif(IS_SYMLINK ${tree}/${entry} OR IS_DIRECTORY ${tree}/${entry})
        math(EXPR size "${size} + 1")
      else()
        file(SIZE ${tree}/${entry} bytes)
        math(EXPR size "${size} + (${bytes} + 1023) / 1024")
      endif()
    endforeach()
    file(READ ${tree}/DEBIAN/control control)
    string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${size}\n" control "${control}")
    file(WRITE ${tree}/DEBIAN/control "${control}")
    execute_process(COMMAND dpkg-deb --root-owner-group -Zxz --build ${tree} ${package}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(REMOVE_RECURSE ${tree})
  endif()
endforeach()
