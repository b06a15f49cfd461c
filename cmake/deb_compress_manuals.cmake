# Run by CPack after it has installed what it packs: compresses manual pages
# that were installed plain (gzip -9n, as Debian wants them), whatever rule
# installed them.
file(GLOB_RECURSE tvx_pages LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(page IN LISTS tvx_pages)
  if(page MATCHES "/share/man/(man[1-9][^/]*|[^/]+/man[1-9][^/]*)/[^/]+$" AND NOT page MATCHES "\\.gz$"
     AND NOT IS_SYMLINK "${page}")
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "gzip ${page} failed")
    endif()
  endif()
endforeach()
