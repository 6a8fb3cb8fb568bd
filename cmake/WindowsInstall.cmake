# The engine for Windows: `cmake --install build-windows --component engine
# --prefix P` puts under P (a prefix of its own) what a game's own
# CMakeLists.txt builds its .exe with, unchanged:
#
#   cmake -S . -B build -DCMAKE_TOOLCHAIN_FILE=P/lib/cmake/Velmora/windows-toolchain.cmake
#
#   P/include/velmora/*.h            the same public headers as the desktop's
#   P/include/GL, P/include/GLFW     GLEW's and GLFW's headers
#   P/lib/libvelmora_engine.a        the engine; libglfw3.a, libglew32.a beside it
#   P/lib/velmora/                   the start-up objects every program links
#   P/lib/cmake/Velmora/             find_package(Velmora), the toolchain file,
#                                    velmora_add_data(), velmora_add_windows_zip()
#   P/share/velmora-engine/data/     the engine's shaders and font
#   P/share/velmora-engine/licences/ the notices shipped beside each program
# Included by cmake/WindowsBuild.cmake.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELMORA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Velmora)
set(VELMORA_ENGINE_DATADIR ${CMAKE_INSTALL_DATADIR}/velmora-engine/data)
set(VELMORA_LICENCES_DATADIR ${CMAKE_INSTALL_DATADIR}/velmora-engine/licences)
set(VELMORA_START_DIR ${CMAKE_INSTALL_LIBDIR}/velmora)
set(VELMORA_ENGINE_DATA_FILES shaders/textured.glsl shaders/text.glsl textures/font.png
    textures/font.csv)

target_include_directories(velmora_engine PUBLIC
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/velmora>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS velmora_engine EXPORT VelmoraTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT engine)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/velmora/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velmora
        COMPONENT engine FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${VELMORA_WINDOWS_DEPS}/include/GL ${VELMORA_WINDOWS_DEPS}/include/GLFW
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT engine)
install(FILES ${VELMORA_WINDOWS_DEPS}/lib/libglfw3.a ${VELMORA_WINDOWS_DEPS}/lib/libglew32.a
        DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT engine)
# Under fixed names, which the package file links.
install(FILES $<TARGET_OBJECTS:velmora_windows_start> DESTINATION ${VELMORA_START_DIR}
        COMPONENT engine)
foreach(_file ${VELMORA_ENGINE_DATA_FILES})
    get_filename_component(_folder ${_file} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/data/${_file} DESTINATION ${VELMORA_ENGINE_DATADIR}/${_folder}
            COMPONENT engine)
endforeach()
install(FILES ${VELMORA_DEFAULT_FONT} DESTINATION ${VELMORA_ENGINE_DATADIR}/fonts COMPONENT engine)
install(DIRECTORY ${Velmora_LICENCES_DIR}/ DESTINATION ${VELMORA_LICENCES_DATADIR} COMPONENT engine)
install(EXPORT VelmoraTargets NAMESPACE Velmora:: DESTINATION ${VELMORA_INSTALL_CMAKEDIR}
        COMPONENT engine)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/windows/VelmoraConfig.cmake.in
    ${PROJECT_BINARY_DIR}/package/VelmoraConfig.cmake
    INSTALL_DESTINATION ${VELMORA_INSTALL_CMAKEDIR}
    PATH_VARS VELMORA_ENGINE_DATADIR VELMORA_LICENCES_DATADIR VELMORA_START_DIR CMAKE_INSTALL_LIBDIR
              CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/VelmoraConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/VelmoraConfig.cmake
              ${PROJECT_BINARY_DIR}/package/VelmoraConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraData.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraWebPage.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraWindowsZip.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraReplayTest.cmake
        DESTINATION ${VELMORA_INSTALL_CMAKEDIR} COMPONENT engine)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/windows/toolchain.cmake DESTINATION ${VELMORA_INSTALL_CMAKEDIR}
        RENAME windows-toolchain.cmake COMPONENT engine)
