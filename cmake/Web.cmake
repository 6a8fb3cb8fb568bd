# The web build's stand-ins for the libraries the desktop links, under the
# names the engine's targets use, so that the engine's CMakeLists is the
# same for both. Included by cmake/Dependencies.cmake under emcmake only.
#
# - GLEW::GLEW puts src/engine/platform/web/include first on the include path: its
#   <GL/glew.h> runs the engine's OpenGL 4.5 calls on WebGL2, and its
#   <GLFW/glfw3.h> adds the GLFW 3.4 names to Emscripten's GLFW.
# - OpenGL::GL asks for a WebGL2 context, velmora::glfw for Emscripten's GLFW.
# - Threads::Threads is empty: the web build has no threads.
# miniaudio and stb are the same headers as on the desktop; they are found
# outside Emscripten's own root.

add_library(GLEW::GLEW INTERFACE IMPORTED)
target_include_directories(GLEW::GLEW INTERFACE ${PROJECT_SOURCE_DIR}/src/engine/platform/web/include)
# -I, ahead of every -isystem folder.
set_target_properties(GLEW::GLEW PROPERTIES IMPORTED_NO_SYSTEM ON)
add_library(OpenGL::GL INTERFACE IMPORTED)
target_link_options(OpenGL::GL INTERFACE -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2)
add_library(Threads::Threads INTERFACE IMPORTED)
add_library(velmora::glfw INTERFACE IMPORTED)
target_link_options(velmora::glfw INTERFACE -sUSE_GLFW=3)

find_path(VELMORA_MINIAUDIO_INCLUDE miniaudio.h HINTS ${VELMORA_DEPS_PREFIX}/include
          PATHS /usr/include PATH_SUFFIXES miniaudio NO_CACHE NO_CMAKE_FIND_ROOT_PATH)
if(NOT VELMORA_MINIAUDIO_INCLUDE)
    message(FATAL_ERROR " miniaudio not found: run ${VELMORA_BOOTSTRAP} first")
endif()
# The header alone: the folder it lies in may hold the desktop's GLFW
# headers too (.deps/usr/include), which must not reach the web build.
file(COPY ${VELMORA_MINIAUDIO_INCLUDE}/miniaudio.h DESTINATION ${PROJECT_BINARY_DIR}/web-include/miniaudio)
add_library(velmora::miniaudio INTERFACE IMPORTED)
target_include_directories(velmora::miniaudio SYSTEM INTERFACE ${PROJECT_BINARY_DIR}/web-include/miniaudio)

find_path(VELMORA_STB_INCLUDE stb/stb_image.h PATHS /usr/include NO_CACHE NO_CMAKE_FIND_ROOT_PATH)
if(NOT VELMORA_STB_INCLUDE)
    message(FATAL_ERROR " stb (libstb-dev) not found: run ${VELMORA_BOOTSTRAP} first")
endif()
add_library(velmora::stb INTERFACE IMPORTED)
target_include_directories(velmora::stb SYSTEM INTERFACE ${VELMORA_STB_INCLUDE}/stb)
