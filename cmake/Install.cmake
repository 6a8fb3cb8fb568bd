# `cmake --install build --prefix P` puts the game under P:
#   P/bin/velmora               launcher: runs the game from its data directory
#   P/libexec/velmora/velmora   the executable
#   P/lib/velmora/              GLFW when it came from .deps/ (found via rpath)
#   P/share/velmora/data/       shaders, textures, sounds
#   P/share/applications/velmora.desktop, P/share/icons/hicolor/*/apps/velmora.*
#                               the menu entry and its icon: after an install
#                               to /usr/local or ~/.local the desktop's menus
#                               list the game
include(GNUInstallDirs)

set(VELMORA_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/velmora)
set_target_properties(velmora PROPERTIES
    INSTALL_RPATH "$ORIGIN/../../${VELMORA_INSTALL_LIBDIR}")

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velmora)
# The icons belong to the desktop, not to what the game reads.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora
        PATTERN icons EXCLUDE)

# GLFW borrowed into .deps/ is not on the target system: ship it beside the game.
if(VELMORA_GLFW_LIBRARY MATCHES "^${CMAKE_SOURCE_DIR}/\\.deps/")
    file(GLOB _velmora_glfw_files "${VELMORA_DEPS_LIBDIR}/libglfw.so*")
    install(FILES ${_velmora_glfw_files} DESTINATION ${VELMORA_INSTALL_LIBDIR})
endif()

configure_file(${CMAKE_SOURCE_DIR}/cmake/velmora-launcher.sh.in
               ${CMAKE_BINARY_DIR}/velmora-launcher.sh @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/velmora-launcher.sh
        DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME velmora)

set(VELMORA_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/velmora.svg DESTINATION ${VELMORA_ICON_DIR}/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/data/icons/velmora.png DESTINATION ${VELMORA_ICON_DIR}/256x256/apps)

# The menu entry starts the launcher by its absolute path, which is known only
# at install time (`cmake --install --prefix` may choose another prefix), so
# the entry is written then.
install(CODE "
    set(VELMORA_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/velmora\")
    configure_file(\"${CMAKE_SOURCE_DIR}/cmake/velmora.desktop.in\"
                   \"${CMAKE_BINARY_DIR}/velmora.desktop\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
         TYPE FILE FILES \"${CMAKE_BINARY_DIR}/velmora.desktop\")
")
