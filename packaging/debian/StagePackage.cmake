# Run by CPack on the staged package, before it is packed: adds what Debian
# wants of every package and `cmake --install` has no reason to install (the
# changelog and the copyright file), and compresses the manual pages.
set(root "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(doc "${root}/share/doc/${CPACK_PACKAGE_NAME}")
set(source "${CPACK_TAVROLIN_DEBIAN_DIR}")

# A release without its changelog entry is not packed.
file(STRINGS "${source}/changelog" first LIMIT_COUNT 1)
if(NOT first MATCHES "^${CPACK_PACKAGE_NAME} \\(([^)]+)\\)")
  message(FATAL_ERROR "${source}/changelog does not start with a ${CPACK_PACKAGE_NAME} entry")
endif()
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "The newest entry of ${source}/changelog is ${CMAKE_MATCH_1}, "
                      "the project's version is ${CPACK_PACKAGE_VERSION}: add an entry.")
endif()

function(gzip_to input output)
  # -n leaves name and time out of the header, so the same input packs the same.
  execute_process(COMMAND gzip -9nc "${input}" OUTPUT_FILE "${output}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${input}: ${status}")
  endif()
endfunction()

file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${source}/copyright" "${doc}/copyright")
gzip_to("${source}/changelog" "${doc}/changelog.gz")

file(GLOB_RECURSE pages "${root}/share/man/*")
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$" AND NOT IS_SYMLINK "${page}")
    gzip_to("${page}" "${page}.gz")
    file(REMOVE "${page}")
  endif()
endforeach()

# The compiler's version strings are of no use in an installed binary
# (debhelper drops them too); the symbols are taken out later, into -dbgsym.
file(GLOB_RECURSE staged "${root}/*")
foreach(path IN LISTS staged)
  if(NOT IS_SYMLINK "${path}")
    file(READ "${path}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
      execute_process(COMMAND objcopy --remove-section=.comment "${path}" RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR "objcopy --remove-section=.comment ${path}: ${status}")
      endif()
    endif()
  endif()
endforeach()
