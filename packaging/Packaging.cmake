# The Debian package (cpack -G DEB, see scripts/package.sh): every program, the widget and
# editing extensions, the resources, the desktop entries, icons and metainfo, and the package's
# own documents. Dependencies come from dpkg-shlibdeps over the installed binaries.
set(HX_PACKAGE_DIR "${CMAKE_CURRENT_LIST_DIR}")

install(FILES "${HX_PACKAGE_DIR}/copyright" DESTINATION share/doc/halidex COMPONENT desktop)
# Debian keeps a native package's changelog compressed, made the same on every machine.
set(HX_CHANGELOG_GZ "${PROJECT_BINARY_DIR}/packaging/changelog.gz")
add_custom_command(OUTPUT "${HX_CHANGELOG_GZ}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/packaging"
    COMMAND gzip -9 -n -c "${HX_PACKAGE_DIR}/changelog" > "${HX_CHANGELOG_GZ}"
    DEPENDS "${HX_PACKAGE_DIR}/changelog" VERBATIM)
add_custom_target(hx_package_changelog ALL DEPENDS "${HX_CHANGELOG_GZ}")
install(FILES "${HX_CHANGELOG_GZ}" DESTINATION share/doc/halidex COMPONENT desktop)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halidex)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Halidex Camera developers")
set(CPACK_PACKAGE_CONTACT "Halidex Camera developers <support@halidex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "film-simulation camera with a photo library")
set(CPACK_PACKAGE_DESCRIPTION
    "Halidex Camera shows the camera's live picture through one of thirteen\n films, takes full-resolution photos through the same film and keeps them,\n with their metadata, in a photo library with an album of its own. It comes\n with a photo browser, a desktop widget and a photo-editing extension.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, where dpkg-shlibdeps cannot see them: Qt's window-system plugins (a window
# or the headless offscreen one), and a font for the interface's text.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://halidex.example")
include(CPack)
