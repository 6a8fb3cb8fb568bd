# `cmake --install build --prefix P` puts the game and the engine under P.
#
# The game (install component "game", the Debian package velmora):
#   P/bin/velmora               launcher: runs the game from its data directory
#                               (P/games/velmora when P is /usr, the Debian way)
#   P/libexec/velmora/velmora   the executable
#   P/lib/velmora/glfw/         GLFW when it came from .deps/ (found via rpath;
#                               component "glfw", the package velmora-glfw)
#   P/share/velmora/data/       shaders, textures, sounds
#   P/share/applications/velmora.desktop, P/share/icons/hicolor/*/apps/velmora.*
#                               the menu entry and its icon: after an install
#                               to /usr/local or ~/.local the desktop's menus
#                               list the game
#   P/share/man/man6/velmora.6.gz, P/share/doc/velmora/
#
# The engine (component "engine", the package velmora-engine-dev):
#   P/include/velmora/*.h           #include <velmora/Sprite.h>
#   P/lib/<triplet>/libvelmora_engine.a
#   P/lib/<triplet>/cmake/Velmora/  find_package(Velmora) gives Velmora::engine
#   P/lib/<triplet>/pkgconfig/velmora.pc   pkg-config --cflags --libs velmora
# With GLFW from .deps/, its headers come along under P/include/velmora/GLFW
# and the library links the copy in P/lib/velmora/glfw, which
# `cmake --install build --component engine` installs too. A game linked
# against it finds it there through its run path, installed or not.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The game's private libraries: under /usr/lib/velmora in a package, whatever
# the system's library directory is. (One level down: a shared library right
# in /usr/lib/velmora would make CPack add ldconfig calls, which neither the
# rpath nor Debian's ldconfig trigger needs.)
set(VELMORA_INSTALL_LIBDIR lib/velmora/glfw)
# The engine's library, CMake and pkg-config files depend on the architecture:
# Debian keeps those under lib/<triplet>, where find_package and pkg-config
# look too.
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(VELMORA_ENGINE_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
    set(VELMORA_ENGINE_LIBDIR ${CMAKE_INSTALL_LIBDIR})
endif()
set(VELMORA_INSTALL_CMAKEDIR ${VELMORA_ENGINE_LIBDIR}/cmake/Velmora)
set(VELMORA_MAINTAINER "Velmora Demoengine maintainers <maintainers@users.noreply.c-seed-03a32a91.example>")
# GLFW from .deps/ is borrowed, so the install ships it. Both sides are
# compared as resolved paths: any folder name, and a checkout reached through
# a symbolic link, count alike.
file(REAL_PATH "${VELMORA_GLFW_LIBRARY}" _velmora_glfw)
set(VELMORA_SHIPS_GLFW FALSE)
if(EXISTS "${VELMORA_DEPS_PREFIX}")
    file(REAL_PATH "${VELMORA_DEPS_PREFIX}" _velmora_deps)
    cmake_path(IS_PREFIX _velmora_deps "${_velmora_glfw}" NORMALIZE VELMORA_SHIPS_GLFW)
endif()

# --- the game ---------------------------------------------------------------
set_target_properties(velmora PROPERTIES
    INSTALL_RPATH "$ORIGIN/../../${VELMORA_INSTALL_LIBDIR}")

install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/velmora COMPONENT game)
# The icons belong to the desktop, not to what the game reads.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data DESTINATION ${CMAKE_INSTALL_DATADIR}/velmora
        COMPONENT game PATTERN icons EXCLUDE)

# GLFW borrowed into .deps/ is not on the target system: it is installed
# privately, for the game and for games built on the engine (the run-time
# library only; the link-time name belongs to the engine). In the packages it
# is a package of its own, which both depend on; a plain install of the game
# or of the engine alone brings it along.
if(VELMORA_SHIPS_GLFW)
    cmake_path(GET _velmora_glfw PARENT_PATH _velmora_glfw_dir)
    set(_velmora_glfw_files "${_velmora_glfw}" "${_velmora_glfw_dir}/libglfw.so.3")
    install(FILES ${_velmora_glfw_files} DESTINATION ${VELMORA_INSTALL_LIBDIR} COMPONENT glfw)
    foreach(_component game engine)
        # Not in the packages (cpack sets VELMORA_PACKAGING, see Package.cmake).
        install(CODE "
            if(NOT \"\$ENV{VELMORA_PACKAGING}\")
                file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${VELMORA_INSTALL_LIBDIR}\" TYPE FILE
                     FILES \"${_velmora_glfw}\" \"${_velmora_glfw_dir}/libglfw.so.3\")
            endif()
        " COMPONENT ${_component})
    endforeach()
endif()

set(VELMORA_ICON_DIR ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/velmora.svg DESTINATION ${VELMORA_ICON_DIR}/scalable/apps
        COMPONENT game)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/velmora.png DESTINATION ${VELMORA_ICON_DIR}/256x256/apps
        COMPONENT game)

# The manual page, the licence notices and the change log, compressed the way
# Debian wants them (gzip -9n: no name, no time stamp).
configure_file(${PROJECT_SOURCE_DIR}/cmake/velmora.6.in ${PROJECT_BINARY_DIR}/package/velmora.6 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${PROJECT_BINARY_DIR}/package/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/copyright.in ${PROJECT_BINARY_DIR}/package/copyright @ONLY)
# The third-party notices, as the Debian packages of what is compiled in or
# shipped give them.
foreach(_doc libminiaudio-dev libstb-dev fonts-dejavu-core libglfw3)
    if(_doc STREQUAL "libglfw3" AND NOT VELMORA_SHIPS_GLFW)
        continue()
    endif()
    find_file(_velmora_notice copyright
              PATHS ${VELMORA_DEPS_PREFIX}/share/doc/${_doc} /usr/share/doc/${_doc}
              NO_DEFAULT_PATH NO_CACHE)
    if(_velmora_notice)
        file(READ ${_velmora_notice} _text)
        file(APPEND ${PROJECT_BINARY_DIR}/package/copyright "\n\n=== ${_doc} ===\n\n${_text}")
    endif()
    unset(_velmora_notice)
endforeach()
foreach(_file velmora.6 changelog)
    execute_process(COMMAND gzip -9nf -k ${PROJECT_BINARY_DIR}/package/${_file} RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "gzip failed on ${PROJECT_BINARY_DIR}/package/${_file}")
    endif()
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/package/velmora.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6
        COMPONENT game)
install(FILES ${PROJECT_BINARY_DIR}/package/copyright ${PROJECT_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora COMPONENT game)
install(FILES ${PROJECT_BINARY_DIR}/package/copyright ${PROJECT_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora-engine-dev COMPONENT engine)
if(VELMORA_SHIPS_GLFW)
    install(FILES ${PROJECT_BINARY_DIR}/package/copyright ${PROJECT_BINARY_DIR}/package/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/velmora-glfw COMPONENT glfw)
endif()

configure_file(${PROJECT_SOURCE_DIR}/cmake/velmora-launcher.sh.in
               ${PROJECT_BINARY_DIR}/velmora-launcher.sh @ONLY)
# The launcher goes where the prefix's programs go: /usr/games for /usr (as
# Debian keeps games), bin/ elsewhere. The menu entry starts it by its
# absolute path. Both are known only at install time (`cmake --install
# --prefix` may choose another prefix; a package installs to /usr).
install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        set(_velmora_bindir games)
    else()
        set(_velmora_bindir \"${CMAKE_INSTALL_BINDIR}\")
    endif()
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${_velmora_bindir}\" TYPE PROGRAM
         RENAME velmora FILES \"${PROJECT_BINARY_DIR}/velmora-launcher.sh\")
    set(VELMORA_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/\${_velmora_bindir}/velmora\")
    configure_file(\"${PROJECT_SOURCE_DIR}/cmake/velmora.desktop.in\"
                   \"${PROJECT_BINARY_DIR}/velmora.desktop\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\"
         TYPE FILE FILES \"${PROJECT_BINARY_DIR}/velmora.desktop\")
" COMPONENT game)

# --- the engine ---------------------------------------------------------------
# The public headers are include/velmora/X.h in the tree and installed alike:
# a game writes #include <velmora/Sprite.h> in both.
target_include_directories(velmora_engine PUBLIC
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/velmora>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS velmora_engine EXPORT VelmoraTargets
        ARCHIVE DESTINATION ${VELMORA_ENGINE_LIBDIR} COMPONENT engine)
# A stripping install (`cmake --install --strip`, and the packages) drops the
# library's debugging sections, as Debian's own -dev packages do.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-debug --remove-section=.comment
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${VELMORA_ENGINE_LIBDIR}/libvelmora_engine.a\")
    endif()
" COMPONENT engine)
# The public headers, and only they: what lies in include/velmora/ when the
# install runs (the workings in src/engine/ never leave the tree).
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/velmora/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velmora
        COMPONENT engine FILES_MATCHING PATTERN "*.h")
# What every game on the engine reads besides its own data: the sprite and
# text shaders, the bitmap font, and DejaVu Sans for Font (below). The package names their folder Velmora_DATA_DIR.
set(VELMORA_ENGINE_DATA_FILES shaders/textured.glsl shaders/text.glsl textures/font.png
    textures/font.csv)
set(VELMORA_ENGINE_DATADIR ${CMAKE_INSTALL_DATADIR}/velmora-engine/data)
foreach(_file ${VELMORA_ENGINE_DATA_FILES})
    get_filename_component(_folder ${_file} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/data/${_file} DESTINATION ${VELMORA_ENGINE_DATADIR}/${_folder}
            COMPONENT engine)
endforeach()
# The font Font loads by default, taken from the system (Dependencies.cmake).
install(FILES ${VELMORA_DEFAULT_FONT} DESTINATION ${VELMORA_ENGINE_DATADIR}/fonts COMPONENT engine)
if(VELMORA_SHIPS_GLFW)
    install(DIRECTORY ${VELMORA_GLFW_INCLUDE}/GLFW DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velmora
            COMPONENT engine)
    set(VELMORA_PC_REQUIRES "glew gl")
    set(VELMORA_PC_GLFW_LIBS "-L\${prefix}/${VELMORA_INSTALL_LIBDIR} -Wl,-rpath,\${prefix}/${VELMORA_INSTALL_LIBDIR} -l:libglfw.so.3")
else()
    set(VELMORA_PC_REQUIRES "glfw3 >= 3.4, glew, gl")
    set(VELMORA_PC_GLFW_LIBS "")
endif()
install(EXPORT VelmoraTargets NAMESPACE Velmora:: DESTINATION ${VELMORA_INSTALL_CMAKEDIR}
        COMPONENT engine)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VelmoraConfig.cmake.in
    ${PROJECT_BINARY_DIR}/package/VelmoraConfig.cmake
    INSTALL_DESTINATION ${VELMORA_INSTALL_CMAKEDIR}
    PATH_VARS VELMORA_INSTALL_LIBDIR VELMORA_ENGINE_DATADIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/VelmoraConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/VelmoraConfig.cmake
              ${PROJECT_BINARY_DIR}/package/VelmoraConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraData.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraWebPage.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraReplayTest.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraWindowsZip.cmake
        DESTINATION ${VELMORA_INSTALL_CMAKEDIR} COMPONENT engine)

file(RELATIVE_PATH VELMORA_PC_TO_PREFIX /${VELMORA_ENGINE_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" VELMORA_PC_TO_PREFIX "${VELMORA_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/velmora.pc.in ${PROJECT_BINARY_DIR}/package/velmora.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/velmora.pc DESTINATION ${VELMORA_ENGINE_LIBDIR}/pkgconfig
        COMPONENT engine)

include(${PROJECT_SOURCE_DIR}/cmake/Package.cmake)
