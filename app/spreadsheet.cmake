# The spreadsheet component and the file helpers every file operation uses.
pkg_check_modules(TORVANE_SHEET_LIBS REQUIRED IMPORTED_TARGET minizip pugixml xlsxwriter libgsf-1 zlib)
target_sources(torvane_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/csv_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/grid_sheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/safe_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/spreadsheet.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xls_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xls_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xlsx_reader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xlsx_writer.cpp)
target_link_libraries(torvane_core PRIVATE PkgConfig::TORVANE_SHEET_LIBS)
