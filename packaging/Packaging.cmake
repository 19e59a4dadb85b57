# The Debian package: `cpack -G DEB` in a release build. Its dependencies come from the shared
# libraries the programs link (dpkg-shlibdeps, from dpkg-dev), plus the font that the window asks
# for by name; libcurl is loaded only for XML sources named by URL.
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Velmora <suporte@velmora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Servidor Screen: publica projetos VelmScreen para o iVelmora")
set(CPACK_PACKAGE_DESCRIPTION "Publica a pasta OUTPUT de um projeto VelmScreen (screen.xml e imagens) pela \
rede local, em HTTP, para o aplicativo iVelmora no iPhone ou iPod Touch. Inclui a janela do operador \
(velmora) e os programas de linha de comando velmora-server, velmora-xml e velmora-talk.")
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
include(CPack)
