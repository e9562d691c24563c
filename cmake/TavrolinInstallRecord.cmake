# Keeps a record of what an install put where, for the uninstall target.
#
# CMake's own install_manifest.txt cannot serve: it lists paths without DESTDIR,
# so after a staged install it names files at the real prefix, and every CPack
# run overwrites it with the paths of the package being staged. The record
# written here holds the files as they were installed (DESTDIR included) and the
# directories the install created, so the uninstall removes exactly those and
# leaves directories that were there before (/usr/local/bin, say) in place.
#
# Include this before the first add_subdirectory() that installs anything: it
# adds the first install rule and defers the last one to the end of the
# top-level directory, after every other rule.

set(TAVROLIN_INSTALL_RECORD "${PROJECT_BINARY_DIR}/install_record.txt")

# First rule: which of the directories the install rules name already exist.
# The destinations are read from the generated install scripts, so rules added
# anywhere in the tree are seen without being listed here.
set(_tavrolin_code [[
  cmake_policy(SET CMP0057 NEW) # IN_LIST; install scripts run with old policies
  set(_tavrolin_staging OFF)
  if("$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}" MATCHES "/_CPack_Packages/")
    # A package being staged: the record of a real install stays as it is.
    set(_tavrolin_staging ON)
  endif()
  set(_tavrolin_dirs_before "")
  set(_tavrolin_dirs_absent "")
  if(NOT _tavrolin_staging)
    file(GLOB_RECURSE _tavrolin_scripts "@PROJECT_BINARY_DIR@/*cmake_install.cmake")
    foreach(_script IN LISTS _tavrolin_scripts)
      file(STRINGS "${_script}" _lines REGEX "DESTINATION \"[^\"]+\"")
      foreach(_line IN LISTS _lines)
        string(REGEX MATCH "DESTINATION \"([^\"]+)\"" _ "${_line}")
        string(REPLACE "\${CMAKE_INSTALL_PREFIX}" "${CMAKE_INSTALL_PREFIX}" _dir "${CMAKE_MATCH_1}")
        set(_dir "$ENV{DESTDIR}${_dir}")
        while(NOT _dir STREQUAL "/" AND NOT _dir STREQUAL "")
          if(NOT _dir IN_LIST _tavrolin_dirs_before AND NOT _dir IN_LIST _tavrolin_dirs_absent)
            if(IS_DIRECTORY "${_dir}")
              list(APPEND _tavrolin_dirs_before "${_dir}")
            else()
              list(APPEND _tavrolin_dirs_absent "${_dir}")
            endif()
          endif()
          get_filename_component(_dir "${_dir}" DIRECTORY)
        endwhile()
      endforeach()
    endforeach()
  endif()
]])
string(CONFIGURE "${_tavrolin_code}" _tavrolin_code @ONLY)
install(CODE "${_tavrolin_code}")

function(_tavrolin_record_install)
  install(CODE "set(_tavrolin_record \"${TAVROLIN_INSTALL_RECORD}\")")
  install(CODE [[
    cmake_policy(SET CMP0057 NEW)
    if(NOT _tavrolin_staging)
      set(_text "")
      set(_created "")
      foreach(_file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
        string(APPEND _text "file $ENV{DESTDIR}${_file}\n")
        get_filename_component(_dir "$ENV{DESTDIR}${_file}" DIRECTORY)
        while(_dir IN_LIST _tavrolin_dirs_absent)
          if(NOT _dir IN_LIST _created)
            list(APPEND _created "${_dir}")
          endif()
          get_filename_component(_dir "${_dir}" DIRECTORY)
        endwhile()
      endforeach()
      # Deepest first, so that the uninstall empties a directory before its parent.
      list(SORT _created ORDER DESCENDING)
      foreach(_dir IN LISTS _created)
        string(APPEND _text "dir ${_dir}\n")
      endforeach()
      file(WRITE "${_tavrolin_record}" "${_text}")
    endif()
  ]])
endfunction()
cmake_language(DEFER DIRECTORY "${PROJECT_SOURCE_DIR}" CALL _tavrolin_record_install)
