# The Debian package: `cpack -G DEB` in a release build whose programs are built. Its dependencies
# come from the shared libraries the programs link (dpkg-shlibdeps, from dpkg-dev), plus the font
# that the window asks for by name; libcurl is loaded only for XML sources named by URL. Besides the
# programs it holds what Debian's checks ask of a package: the copyright file, the changelog, a
# manual page for each program and, with the window, the software centres' metadata. A Windows
# build makes the installer of packaging/windows instead.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Velmora <suporte@velmora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Servidor Screen: publica projetos VelmScreen para o iVelmora")
# Lines of at most 80 columns, as Debian's description format wants them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Publica a pasta OUTPUT de um projeto VelmScreen (screen.xml e imagens) pela"
  "rede local, em HTTP, para o aplicativo iVelmora no iPhone ou iPod Touch."
  "Um código QR abre no navegador do iPhone uma página que prova que a rede"
  "deixa o aparelho alcançar o computador."
  "Inclui a janela do operador (velmora) e os programas de linha de comando"
  "velmora-server, velmora-xml e velmora-talk.")
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/Installer.cmake)
  return()
endif()
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VELMORA_BUILD_GUI)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcurl4, xdg-utils, qt6-translations-l10n")
else()
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libcurl4")
endif()
# Packaging takes the programs as built (the release-programs preset builds them alone) instead of
# building every test and benchmark first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# Debian wants the changelog and the manual pages compressed at the highest level, with no name or
# time stamp inside; they are made again whenever their source changes.
function(velmora_gzipped source destination)
  get_filename_component(name ${source} NAME)
  set(compressed ${PROJECT_BINARY_DIR}/packaging/${name}.gz)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${compressed} COMMAND_ERROR_IS_FATAL ANY)
  install(FILES ${compressed} DESTINATION ${destination})
endfunction()

set(VELMORA_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(VELMORA_PACKAGE_DOCS ${CMAKE_INSTALL_DATADIR}/doc/velmora)
install(FILES ${VELMORA_PACKAGING}/copyright DESTINATION ${VELMORA_PACKAGE_DOCS})
velmora_gzipped(${VELMORA_PACKAGING}/changelog ${VELMORA_PACKAGE_DOCS})
set(VELMORA_MANUAL_PAGES velmora-server velmora-xml velmora-talk)
if(VELMORA_BUILD_GUI)
  list(APPEND VELMORA_MANUAL_PAGES velmora)
  install(FILES ${VELMORA_PACKAGING}/invalid.velmora.servidor.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
foreach(page ${VELMORA_MANUAL_PAGES})
  velmora_gzipped(${VELMORA_PACKAGING}/man/${page}.1 ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

include(CPack)
