# The Windows build's libraries (scripts/windows.sh, `make windows`), under
# the names the engine's targets use, so that the engine's CMakeLists is the
# same for every platform. Included by cmake/Dependencies.cmake when the
# toolchain (cmake/windows/toolchain.cmake) builds for Windows.
#
# GLFW and GLEW are static libraries built once from Debian's source packages
# into .deps-windows/ (GLEW with GLEW_STATIC); miniaudio's and stb's headers
# are copies there, never the system's /usr/include.
set(VELMORA_WINDOWS_DEPS ${PROJECT_SOURCE_DIR}/.deps-windows CACHE PATH
    "The Windows libraries built by scripts/windows.sh")
foreach(_file lib/libglfw3.a lib/libglew32.a include/GLFW/glfw3.h include/GL/glew.h
              include/miniaudio.h include/stb/stb_image.h)
    if(NOT EXISTS ${VELMORA_WINDOWS_DEPS}/${_file})
        message(FATAL_ERROR "${VELMORA_WINDOWS_DEPS}/${_file} is missing: build with `make windows`")
    endif()
endforeach()

add_library(OpenGL::GL INTERFACE IMPORTED)
set_target_properties(OpenGL::GL PROPERTIES INTERFACE_LINK_LIBRARIES opengl32)
add_library(GLEW::GLEW STATIC IMPORTED)
set_target_properties(GLEW::GLEW PROPERTIES IMPORTED_LOCATION ${VELMORA_WINDOWS_DEPS}/lib/libglew32.a
    INTERFACE_COMPILE_DEFINITIONS GLEW_STATIC INTERFACE_LINK_LIBRARIES opengl32)
target_include_directories(GLEW::GLEW SYSTEM INTERFACE ${VELMORA_WINDOWS_DEPS}/include)
add_library(velmora::glfw STATIC IMPORTED)
set_target_properties(velmora::glfw PROPERTIES IMPORTED_LOCATION ${VELMORA_WINDOWS_DEPS}/lib/libglfw3.a
    INTERFACE_LINK_LIBRARIES gdi32)
target_include_directories(velmora::glfw SYSTEM INTERFACE ${VELMORA_WINDOWS_DEPS}/include)
find_package(Threads REQUIRED)
add_library(velmora::miniaudio INTERFACE IMPORTED)
target_include_directories(velmora::miniaudio SYSTEM INTERFACE ${VELMORA_WINDOWS_DEPS}/include)
add_library(velmora::stb INTERFACE IMPORTED)
target_include_directories(velmora::stb SYSTEM INTERFACE ${VELMORA_WINDOWS_DEPS}/include/stb)
