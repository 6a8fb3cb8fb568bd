# `cmake --install build --prefix P` puts the game under P:
#   P/bin/velmora               launcher: runs the game from its data directory
#   P/libexec/velmora/velmora   the executable
#   P/lib/velmora/              GLFW when it came from .deps/ (found via rpath)
#   P/share/velmora/data/       shaders, textures, sounds
include(GNUInstallDirs)

set(VELMORA_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/velmora)
set_target_properties(velmora PROPERTIES
    INSTALL_RPATH "$ORIGIN/../../${VELMORA_INSTALL_LIBDIR}")

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velmora)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora)

# GLFW borrowed into .deps/ is not on the target system: ship it beside the game.
if(VELMORA_GLFW_LIBRARY MATCHES "^${CMAKE_SOURCE_DIR}/\\.deps/")
    file(GLOB _velmora_glfw_files "${VELMORA_DEPS_LIBDIR}/libglfw.so*")
    install(FILES ${_velmora_glfw_files} DESTINATION ${VELMORA_INSTALL_LIBDIR})
endif()

configure_file(${CMAKE_SOURCE_DIR}/cmake/velmora-launcher.sh.in
               ${CMAKE_BINARY_DIR}/velmora-launcher.sh @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/velmora-launcher.sh
        DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME velmora)
