# The Windows installer, hc12prog-<version>-setup.exe in the build folder, made
# with NSIS (Debian package nsis) from packaging/windows/hc12prog.nsi.in: the
# window, the command-line program and the README.
#
#   cmake --build build-mingw --target installer

find_program(HC12_MAKENSIS makensis)
if(NOT HC12_MAKENSIS)
  message(STATUS "makensis not found: no Windows installer (Debian package nsis)")
  return()
endif()

set(HC12_INSTALLER_OUT ${CMAKE_BINARY_DIR}/hc12prog-${PROJECT_VERSION}-setup.exe)
set(HC12_WINDOW_EXE "$<TARGET_FILE:hc12prog>")
set(HC12_CLI_EXE "$<TARGET_FILE:hc12prog-cli>")
set(HC12_README ${PROJECT_SOURCE_DIR}/README.md)
set(HC12_ICON ${PROJECT_SOURCE_DIR}/packaging/icons/hc12prog.ico)
set(nsi ${CMAKE_BINARY_DIR}/packaging/hc12prog.nsi)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/hc12prog.nsi.in ${nsi}.in @ONLY)
file(GENERATE OUTPUT ${nsi} INPUT ${nsi}.in)

add_custom_command(
  OUTPUT ${HC12_INSTALLER_OUT}
  COMMAND ${HC12_MAKENSIS} -V2 -INPUTCHARSET UTF8 ${nsi}
  DEPENDS hc12prog hc12prog-cli ${nsi} ${HC12_README} ${HC12_ICON}
  COMMENT "Making the installer hc12prog-${PROJECT_VERSION}-setup.exe"
  VERBATIM)
add_custom_target(installer ALL DEPENDS ${HC12_INSTALLER_OUT})
