# The Windows build (`make windows`, scripts/windows.sh), included by the top
# CMakeLists.txt when the toolchain in cmake/windows/ builds for Windows:
#   build-windows/velmora/, breakout/, bounce/, glow/, catcher/
#       each game's NAME.exe, data/ and licences/, and NAME.zip beside it;
#   `cmake --install build-windows --component engine --prefix P`: the engine
#       for Windows (cmake/WindowsInstall.cmake).
#
# Every program on the engine is a GUI program with a manifest that makes
# UTF-8 its code page, and attaches to the console it was started from
# (src/engine/platform/windows/Start.cpp): those two objects are linked into
# each program, whatever it references, so the engine's users link them too.
add_library(velmora_windows_start OBJECT src/engine/platform/windows/Start.cpp
            src/engine/platform/windows/velmora.rc)
target_compile_options(velmora_windows_start PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${VELMORA_WARNINGS}>)
target_link_libraries(velmora_engine INTERFACE
    $<BUILD_INTERFACE:$<TARGET_OBJECTS:velmora_windows_start>> winmm)
target_link_options(velmora_engine INTERFACE -mwindows)

# The licences of what the programs link, shipped beside each of them.
set(Velmora_LICENCES_DIR ${VELMORA_WINDOWS_DEPS}/licences)

# The bus game reads data/ from its working directory: as the Linux
# launcher does, its Windows program starts in its own folder.
add_custom_command(TARGET velmora POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${PROJECT_BINARY_DIR}/velmora-data
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/data ${PROJECT_BINARY_DIR}/velmora-data
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${PROJECT_BINARY_DIR}/velmora-data/icons
    VERBATIM)
set_target_properties(velmora PROPERTIES VELMORA_DATA_FOLDER ${PROJECT_BINARY_DIR}/velmora-data)
velmora_add_windows_zip(velmora)

include(cmake/WindowsInstall.cmake)
include(cmake/Examples.cmake)
# (The examples' own CMakeLists.txt ask for their zips.)
velmora_add_windows_zip(guide_catcher)

# The bunnymark, for the figures of bench/windows-bunnymark.sh (not shipped).
add_executable(bunnymark bench/bunnymark.cpp bench/BunnyField.cpp)
target_include_directories(bunnymark PRIVATE bench)
target_compile_options(bunnymark PRIVATE ${VELMORA_WARNINGS})
target_link_libraries(bunnymark PRIVATE velmora_engine)
set_target_properties(bunnymark PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
