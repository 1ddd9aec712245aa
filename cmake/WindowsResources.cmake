# Windows resources of a program: the icon, the version information and the
# manifest (packaging/windows/). WITH_WX also takes wxWidgets' own resources in
# (cursors and bitmaps its controls load by name).
#
#   hc12_add_windows_resources(hc12prog "HC12/HCS12 EEPROM Programmer" WITH_WX)

enable_language(RC)

set(HC12_WINDOWS_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR}/../packaging/windows)
get_filename_component(HC12_WINDOWS_PACKAGING_DIR ${HC12_WINDOWS_PACKAGING_DIR} ABSOLUTE)

function(hc12_add_windows_resources target description)
  cmake_parse_arguments(PARSE_ARGV 2 arg "WITH_WX" "" "")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources/${target}.rc)
  target_sources(${target} PRIVATE ${rc})
  set(icon ${HC12_WINDOWS_PACKAGING_DIR}/../icons/hc12prog.ico)
  get_filename_component(icon ${icon} ABSOLUTE)
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${icon};${CMAKE_CURRENT_BINARY_DIR}/${target}-resources/${target}.manifest")
  if(arg_WITH_WX)
    set_source_files_properties(${rc} PROPERTIES COMPILE_DEFINITIONS HC12_WX_RESOURCES)
  endif()
  # Filled in at the end of the configuration, once the packaging names are set
  # (a deferred call reads its arguments then: they are written into it now).
  cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]] CALL
    _hc12_configure_windows_resources [[${target}]] [[${description}]] [[${rc}]] [[${icon}]])")
endfunction()

function(_hc12_configure_windows_resources target description rc icon)
  get_filename_component(out ${rc} DIRECTORY)
  set(HC12_RC_FILE_DESCRIPTION "${description}")
  set(HC12_RC_INTERNAL_NAME ${target})
  set(HC12_RC_ORIGINAL_NAME ${target}.exe)
  set(HC12_RC_ICON ${icon})
  set(HC12_RC_MANIFEST ${out}/${target}.manifest)
  configure_file(${HC12_WINDOWS_PACKAGING_DIR}/hc12prog.manifest.in ${HC12_RC_MANIFEST} @ONLY)
  configure_file(${HC12_WINDOWS_PACKAGING_DIR}/hc12prog.rc.in ${rc} @ONLY)
endfunction()
