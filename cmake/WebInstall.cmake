# The web build's engine package: `cmake --install build-web --component
# engine --prefix P` puts under P what a game's own CMakeLists.txt builds its
# page with (emcmake cmake -DCMAKE_PREFIX_PATH=P):
#   P/include/velmora/*.h              the same public headers as the desktop's
#   P/include/velmora-web/GL, GLFW     the web layer's <GL/glew.h> and <GLFW/glfw3.h>
#   P/lib/libvelmora_engine.a          the engine, WebAssembly
#   P/lib/cmake/Velmora/               find_package(Velmora): Velmora::engine and
#                                      velmora_add_web_page()
#   P/share/velmora-engine/data/       the engine's shaders and font
# Included by the top CMakeLists.txt under emcmake only.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VELMORA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Velmora)
set(VELMORA_ENGINE_DATADIR ${CMAKE_INSTALL_DATADIR}/velmora-engine/data)
set(VELMORA_ENGINE_DATA_FILES shaders/textured.glsl shaders/text.glsl textures/font.png
    textures/font.csv)

target_include_directories(velmora_engine PUBLIC
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/velmora>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS velmora_engine EXPORT VelmoraTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT engine)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/velmora/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velmora
        COMPONENT engine FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/engine/platform/web/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/velmora-web
        COMPONENT engine FILES_MATCHING PATTERN "*.h")
foreach(_file ${VELMORA_ENGINE_DATA_FILES})
    get_filename_component(_folder ${_file} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/data/${_file} DESTINATION ${VELMORA_ENGINE_DATADIR}/${_folder}
            COMPONENT engine)
endforeach()
install(FILES ${VELMORA_DEFAULT_FONT} DESTINATION ${VELMORA_ENGINE_DATADIR}/fonts COMPONENT engine)
install(EXPORT VelmoraTargets NAMESPACE Velmora:: DESTINATION ${VELMORA_INSTALL_CMAKEDIR}
        COMPONENT engine)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VelmoraWebConfig.cmake.in
    ${PROJECT_BINARY_DIR}/package/VelmoraConfig.cmake
    INSTALL_DESTINATION ${VELMORA_INSTALL_CMAKEDIR}
    PATH_VARS VELMORA_ENGINE_DATADIR CMAKE_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/VelmoraConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/VelmoraConfig.cmake
              ${PROJECT_BINARY_DIR}/package/VelmoraConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraWebPage.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraData.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraWindowsZip.cmake
              ${PROJECT_SOURCE_DIR}/cmake/VelmoraReplayTest.cmake
        DESTINATION ${VELMORA_INSTALL_CMAKEDIR} COMPONENT engine)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/web/index.html.in
        DESTINATION ${VELMORA_INSTALL_CMAKEDIR}/web COMPONENT engine)
