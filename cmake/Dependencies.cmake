# Locates the libraries the engine links.
#
# GLFW 3.4 and miniaudio are looked for first in .deps/ (filled by
# scripts/bootstrap.sh on Debian 12), then in the system. Libraries found in
# .deps/ are linked by full path, so CMake records their directory in the
# binaries' rpath and they run from the build tree without LD_LIBRARY_PATH.

set(VELMORA_DEPS_PREFIX "${PROJECT_SOURCE_DIR}/.deps/usr" CACHE PATH "Local prefix of borrowed packages")
set(VELMORA_DEPS_LIBDIR ${VELMORA_DEPS_PREFIX}/lib/${CMAKE_LIBRARY_ARCHITECTURE})
# The command that fills .deps/, as a game that takes the engine as a
# subfolder runs it: from anywhere, the engine's own script. (The messages
# that name it start with a space: CMake then keeps them on one line, so that
# a folder's name with a space is not broken.)
if(PROJECT_IS_TOP_LEVEL)
    set(VELMORA_BOOTSTRAP scripts/bootstrap.sh)
else()
    set(VELMORA_BOOTSTRAP "bash '${PROJECT_SOURCE_DIR}/scripts/bootstrap.sh'")
endif()

# The engine's font, DejaVu Sans from fonts-dejavu-core: copied into the
# engine's data (fonts/DejaVuSans.ttf) by the build and installed with it.
find_file(VELMORA_DEFAULT_FONT DejaVuSans.ttf PATHS /usr/share/fonts/truetype/dejavu
          NO_DEFAULT_PATH NO_CACHE NO_CMAKE_FIND_ROOT_PATH)
if(NOT VELMORA_DEFAULT_FONT)
    message(FATAL_ERROR " DejaVu Sans (fonts-dejavu-core) not found: run ${VELMORA_BOOTSTRAP} first")
endif()

if(EMSCRIPTEN)
    # The web build (emcmake): Emscripten brings GLFW and WebGL2; the layer in
    # src/engine/platform/web stands in for GLEW and OpenGL 4.5 (cmake/Web.cmake).
    include(${CMAKE_CURRENT_LIST_DIR}/Web.cmake)
    return()
endif()
if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/Windows.cmake)
    return()
endif()

set(OpenGL_GL_PREFERENCE GLVND)
find_package(OpenGL REQUIRED)
find_package(GLEW REQUIRED)
find_package(Threads REQUIRED)

find_path(VELMORA_GLFW_INCLUDE GLFW/glfw3.h HINTS ${VELMORA_DEPS_PREFIX}/include NO_CACHE)
find_library(VELMORA_GLFW_LIBRARY NAMES glfw HINTS ${VELMORA_DEPS_LIBDIR} NO_CACHE)
if(NOT VELMORA_GLFW_INCLUDE OR NOT VELMORA_GLFW_LIBRARY)
    message(FATAL_ERROR " GLFW 3.4 not found: run ${VELMORA_BOOTSTRAP} first")
endif()
file(STRINGS ${VELMORA_GLFW_INCLUDE}/GLFW/glfw3.h _glfw_minor REGEX "#define GLFW_VERSION_MINOR")
if(NOT _glfw_minor MATCHES "GLFW_VERSION_MINOR +([4-9]|[1-9][0-9])")
    message(FATAL_ERROR "GLFW 3.4 or later is needed, found ${_glfw_minor} in ${VELMORA_GLFW_INCLUDE}")
endif()
get_filename_component(VELMORA_GLFW_LIBRARY ${VELMORA_GLFW_LIBRARY} REALPATH)
add_library(velmora::glfw SHARED IMPORTED)
set_target_properties(velmora::glfw PROPERTIES IMPORTED_LOCATION ${VELMORA_GLFW_LIBRARY}
                      IMPORTED_SONAME libglfw.so.3)
target_include_directories(velmora::glfw SYSTEM INTERFACE ${VELMORA_GLFW_INCLUDE})

find_path(VELMORA_MINIAUDIO_INCLUDE miniaudio.h
          HINTS ${VELMORA_DEPS_PREFIX}/include PATH_SUFFIXES miniaudio NO_CACHE)
if(NOT VELMORA_MINIAUDIO_INCLUDE)
    message(FATAL_ERROR " miniaudio not found: run ${VELMORA_BOOTSTRAP} first")
endif()
add_library(velmora::miniaudio INTERFACE IMPORTED)
target_include_directories(velmora::miniaudio SYSTEM INTERFACE ${VELMORA_MINIAUDIO_INCLUDE})

find_path(VELMORA_STB_INCLUDE stb/stb_image.h NO_CACHE)
if(NOT VELMORA_STB_INCLUDE)
    message(FATAL_ERROR " stb (libstb-dev) not found: run ${VELMORA_BOOTSTRAP} first")
endif()
add_library(velmora::stb INTERFACE IMPORTED)
target_include_directories(velmora::stb SYSTEM INTERFACE ${VELMORA_STB_INCLUDE}/stb)

