# SPDX-License-Identifier: GPL-3.0-or-later
# torvane_windows_resources(TARGET DESCRIPTION): gives a Windows program its icon and its version
# information, from packaging/windows/program.rc.in with the project version; windres
# (CMAKE_RC_COMPILER) compiles the script. Included by Windows builds only.
enable_language(RC)

set(TORVANE_RC_ICON ${CMAKE_CURRENT_LIST_DIR}/torvane-configurator.ico)
set(TORVANE_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/program.rc.in)

function(torvane_windows_resources target description)
  # FILEVERSION takes four numbers: major, minor, patch and a build number of 0.
  set(numbers ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR})
  if(PROJECT_VERSION_PATCH STREQUAL "")
    list(APPEND numbers 0)
  else()
    list(APPEND numbers ${PROJECT_VERSION_PATCH})
  endif()
  list(APPEND numbers 0)
  list(JOIN numbers "," TORVANE_RC_VERSION_COMMAS)
  set(TORVANE_RC_NAME ${target})
  set(TORVANE_RC_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${TORVANE_RC_TEMPLATE} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  # windres reads the icon itself; a new icon rebuilds the resource.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${TORVANE_RC_ICON})
endfunction()
