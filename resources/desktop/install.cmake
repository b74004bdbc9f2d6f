# Installed layout. Programs go to <prefix>/bin; the resources to <prefix>/share/halidex/resources,
# which is where the bundle looks next to a program in <prefix>/bin (so both folders are fixed,
# not taken from GNUInstallDirs). The desktop entry, the icons and the metainfo go where desktops
# and software centres look for them.
set(HX_DESKTOP_DIR "${PROJECT_SOURCE_DIR}/resources/desktop")
set(HX_APP_ID "org.halidex.camera")

install(DIRECTORY "${PROJECT_SOURCE_DIR}/resources/" DESTINATION share/halidex/resources
    COMPONENT resources
    # generators, reference screenshots of the tests, notes and the desktop files are not read
    # at run time
    PATTERN "tools" EXCLUDE
    PATTERN "screenshots" EXCLUDE
    PATTERN "desktop" EXCLUDE
    PATTERN "*.md" EXCLUDE
    PATTERN "images.txt" EXCLUDE)

install(FILES "${HX_DESKTOP_DIR}/${HX_APP_ID}.desktop" DESTINATION share/applications
    COMPONENT desktop)
install(FILES "${HX_DESKTOP_DIR}/${HX_APP_ID}.metainfo.xml" DESTINATION share/metainfo
    COMPONENT desktop)
install(FILES "${HX_DESKTOP_DIR}/icons/${HX_APP_ID}.svg"
    DESTINATION share/icons/hicolor/scalable/apps COMPONENT desktop)
foreach(size 16 22 24 32 48 64 128 256 512)
    install(FILES "${HX_DESKTOP_DIR}/icons/${size}x${size}/${HX_APP_ID}.png"
        DESTINATION share/icons/hicolor/${size}x${size}/apps COMPONENT desktop)
endforeach()
