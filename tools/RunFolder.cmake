# Fills a build's run folder (build/data): a link to every entry kept in data/, so that
# edits there count at once, and drops links whose entry has gone. The generated files
# are the build's own and are never linked.
#   cmake -DKEPT=<data> -DRUN=<build/data> "-DGENERATED=taa.mhd;..." -P RunFolder.cmake
cmake_minimum_required(VERSION 3.25)
file(GLOB entries RELATIVE ${KEPT} ${KEPT}/*)
foreach(name ${entries})
  if(name STREQUAL "README.md" OR name IN_LIST GENERATED)
    continue()  # a stale volume from older builds stays unused
  endif()
  if(NOT EXISTS ${RUN}/${name} AND NOT IS_SYMLINK ${RUN}/${name})
    file(CREATE_LINK ${KEPT}/${name} ${RUN}/${name} SYMBOLIC)
  endif()
endforeach()
file(GLOB links ${RUN}/*)
foreach(link ${links})
  if(IS_SYMLINK ${link} AND NOT EXISTS ${link})
    file(REMOVE ${link})
  endif()
endforeach()
