# Debian packages, made by `make package` (cpack in the build directory):
#   velmora             the game: launcher /usr/games/velmora, data under
#                       /usr/share/velmora, menu entry and icon
#   velmora-engine-dev  the engine: headers, static library, CMake and
#                       pkg-config files
#   velmora-glfw        where GLFW came from .deps/: GLFW 3.4 privately in
#                       /usr/lib/velmora/glfw, for both of the others
# The game's dependencies are computed by dpkg-shlibdeps from what its binaries
# link. A private GLFW loads the X libraries at run time, which no link shows:
# those are taken from the Depends of the GLFW package it was borrowed from.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VELMORA_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Installed with DESTDIR, so that the install code sees the real prefix (/usr)
# and writes the menu entry and the launcher for it.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL game engine)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_GAME_PACKAGE_NAME velmora)
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
set(CPACK_COMPONENT_GAME_DESCRIPTION "reaction game at a bus stop
A man waits at the stop while a gauge pointer swings to and fro. Press the
space bar when the pointer is in the green middle of the gauge and the bus
stops for him; too early or too late and it drives past. Drawn with OpenGL 4.5
by the Velmora Demoengine.")

set(CPACK_DEBIAN_ENGINE_PACKAGE_NAME velmora-engine-dev)
set(CPACK_DEBIAN_ENGINE_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_ENGINE_DESCRIPTION "Velmora Demoengine, a small OpenGL 4.5 engine for 2D games
The engine that the velmora game runs on, for building other games: a window
and main loop, textures, a texture atlas, sprites and sprite batches, bitmap
text and sound. This package has the headers, the static library, a CMake
package (find_package(Velmora), target Velmora::engine) and a pkg-config
file (velmora).")

if(VELMORA_SHIPS_GLFW)
    # The private GLFW is a package of its own, so that the engine's package
    # does not bring the game along. The dependencies of the GLFW package it
    # came from name what it loads at run time, which no link shows.
    set(CPACK_COMPONENTS_ALL game engine glfw)
    set(CPACK_DEBIAN_GLFW_PACKAGE_NAME velmora-glfw)
    set(CPACK_DEBIAN_GLFW_PACKAGE_SECTION libs)
    set(CPACK_COMPONENT_GLFW_DESCRIPTION "GLFW 3.4 for the Velmora Demoengine
A private copy of GLFW 3.4 (windows, OpenGL contexts and input), in
/usr/lib/velmora/glfw, for the velmora game and for games built with
velmora-engine-dev, on a release whose own GLFW is older.")
    set(_control ${VELMORA_DEPS_PREFIX}/../DEBIAN-libglfw3/control)
    set(_glfw_depends "")
    if(EXISTS ${_control})
        file(STRINGS ${_control} _glfw_depends REGEX "^Depends: ")
        string(REGEX REPLACE "^Depends: " "" _glfw_depends "${_glfw_depends}")
    else()
        message(WARNING "${_control} is missing, so the GLFW package would lack what GLFW "
                        "loads at run time: run scripts/bootstrap.sh before packaging")
    endif()
    set(CPACK_DEBIAN_GLFW_PACKAGE_DEPENDS "${_glfw_depends}")
    set(CPACK_DEBIAN_GLFW_PACKAGE_SHLIBDEPS OFF)
    # dpkg-shlibdeps finds the game's GLFW here instead of in the system
    # (whose libglfw.so.3 is 3.3): it belongs to no installed package, so it
    # adds nothing, and the game depends on velmora-glfw instead.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${_velmora_glfw_dir}")
    set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS "velmora-glfw (= ${PROJECT_VERSION})")
    set(CPACK_DEBIAN_ENGINE_PACKAGE_DEPENDS "velmora-glfw (= ${PROJECT_VERSION}), libglew-dev, libgl-dev")
else()
    # The system's GLFW: dpkg-shlibdeps finds libglfw3 (>= 3.4) by the
    # symbols the game uses.
    set(CPACK_DEBIAN_ENGINE_PACKAGE_DEPENDS "libglfw3-dev (>= 3.4), libglew-dev, libgl-dev")
endif()

# What cpack reads before it installs: it tells the install that the private
# GLFW goes into its own package only, not into the game's or the engine's.
file(WRITE ${PROJECT_BINARY_DIR}/package/CPackProject.cmake "set(ENV{VELMORA_PACKAGING} 1)\n")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/package/CPackProject.cmake)

include(CPack)
cpack_add_component(game)
cpack_add_component(engine)
if(VELMORA_SHIPS_GLFW)
    cpack_add_component(glfw)
endif()
