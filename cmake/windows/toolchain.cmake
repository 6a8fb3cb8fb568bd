# Cross-builds Windows programs (64-bit) on Debian with mingw-w64:
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=<this file>
#
# The -posix compilers (the -win32 ones have no std::thread or std::mutex),
# and every program linked -static: an .exe needs only Windows' own DLLs.
# Installed with the engine for Windows (<prefix>/lib/cmake/Velmora/), it
# also makes find_package(Velmora) find that install, so a game's own
# CMakeLists.txt builds its .exe unchanged.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_velmora_triplet x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER ${_velmora_triplet}-gcc-posix)
find_program(CMAKE_CXX_COMPILER ${_velmora_triplet}-g++-posix)
find_program(CMAKE_RC_COMPILER ${_velmora_triplet}-windres)
if(NOT CMAKE_C_COMPILER OR NOT CMAKE_CXX_COMPILER)
    message(FATAL_ERROR "mingw-w64's -posix compilers are missing: install g++-mingw-w64-x86-64-posix "
                        "(scripts/bootstrap.sh windows)")
endif()

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# A release build's programs go to players: without their symbol tables.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")

# Libraries, headers and packages are looked for in mingw-w64's own root and
# in the engine's install, never in the system's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${_velmora_triplet})
get_filename_component(_velmora_installed "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(EXISTS "${CMAKE_CURRENT_LIST_DIR}/VelmoraConfig.cmake")
    list(APPEND CMAKE_FIND_ROOT_PATH "${_velmora_installed}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
unset(_velmora_installed)
