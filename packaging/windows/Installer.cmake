# The Windows installer, velmora-setup-VERSION.exe: `cmake --build --preset windows --target
# package` stages the installed programs and CPack's NSIS generator makes the installer with
# Debian's makensis from NSIS.template.in beside this file. It is built on NSIS's 64-bit Unicode
# stub, a 64-bit program like the ones it installs.
install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Beside the programs, the notices that come with them (the Unicode data's among them).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION . RENAME copyright.txt)

# Windows's version resources want four numbers.
set(file_version ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR})
foreach(part PATCH TWEAK)
  if(PROJECT_VERSION_${part} STREQUAL "")
    string(APPEND file_version .0)
  else()
    string(APPEND file_version .${PROJECT_VERSION_${part}})
  endif()
endforeach()
set(CPACK_VELMORA_NSIS_DEFINES "!define FILE_VERSION ${file_version}")

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_FILE_NAME velmora-setup-${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Velmora)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Velmora)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "Velmora Servidor Screen")
set(CPACK_NSIS_UNINSTALL_NAME Desinstalar)
set(CPACK_NSIS_MUI_ICON ${CMAKE_CURRENT_LIST_DIR}/velmora.ico)
set(CPACK_NSIS_MUI_UNIICON ${CMAKE_CURRENT_LIST_DIR}/velmora.ico)
# A warning fails the build, as the compiler's do.
set(CPACK_NSIS_EXECUTABLE_PRE_ARGUMENTS -WX -V2)
set(CPACK_STRIP_FILES ON)
# CPack finds NSIS.template.in on the module path before its own.
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})

include(CPack)
