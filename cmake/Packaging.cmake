# `make deb`: the installed files (program, desktop entry, icon, AppStream
# metainfo, manual page, copyright and changelog) as a Debian package, with
# its library dependencies found by dpkg-shlibdeps.
set(dromel_doc ${CMAKE_CURRENT_BINARY_DIR}/package-doc)
file(MAKE_DIRECTORY ${dromel_doc})
# Debian wants the changelog and the manual page compressed, reproducibly.
add_custom_command(OUTPUT ${dromel_doc}/changelog.gz ${dromel_doc}/dromel.1.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/data/changelog > ${dromel_doc}/changelog.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/data/dromel.1 > ${dromel_doc}/dromel.1.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/data/changelog ${PROJECT_SOURCE_DIR}/data/dromel.1)
add_custom_target(dromel_package_doc ALL DEPENDS ${dromel_doc}/changelog.gz ${dromel_doc}/dromel.1.gz)

include(GNUInstallDirs)
install(FILES ${dromel_doc}/dromel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${dromel_doc}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dromel)
install(FILES ${PROJECT_SOURCE_DIR}/data/org.dromel.Dromel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dromel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Dromel")
set(CPACK_PACKAGE_CONTACT "Dromel developers <developers@dromel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fast, safe desktop file browser")
# CPack writes the summary as the synopsis and indents these lines under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Dromel shows local folders in tabs with a sidebar, a path bar, a name
filter and a sortable file list. Its file operations never lose data:
items are verified before they are published, replaced items go to the
trash, and every step is journalled so that work cut off by a crash comes
back for review.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://dromel.org")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Icons of the desktop's theme; xdg-utils' helpers and a terminal are optional.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
