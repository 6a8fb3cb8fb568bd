# Builds the example games of examples/ with the tree, so that they cannot
# fall behind the engine. Each example is an outside project: its own
# CMakeLists.txt finds the engine with find_package(Velmora). Here the
# package is this build's Velmora::engine (see Install.cmake), and
# find_package reads a package file that only names the engine's data, as
# the installed one does.
# The engine's data is the folder that this build puts together for games in
# the same build (CMakeLists.txt).
set(_velmora_example_package ${PROJECT_BINARY_DIR}/examples-package)
file(WRITE ${_velmora_example_package}/VelmoraConfig.cmake
     "# The engine of the enclosing build: Velmora::engine is already defined.\n"
     "set(Velmora_DATA_DIR \"${VELMORA_ENGINE_BUILD_DATA_DIR}\")\n"
     "include(\"${PROJECT_SOURCE_DIR}/cmake/VelmoraData.cmake\")\n"
     "include(\"${PROJECT_SOURCE_DIR}/cmake/VelmoraReplayTest.cmake\")\n")
set(Velmora_DIR ${_velmora_example_package} CACHE PATH "The engine package the examples build against" FORCE)

foreach(_example bounce breakout glow)
    add_subdirectory(examples/${_example} ${PROJECT_BINARY_DIR}/examples/${_example})
    target_compile_options(${_example} PRIVATE ${VELMORA_WARNINGS})
endforeach()

# The guide's first game (docs/engine.md, the block after
# "<!-- compiled: catcher.cpp -->") compiled as the guide shows it, with the
# engine's data beside it, so that the guide cannot fall behind the engine.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/engine.md)
file(READ ${PROJECT_SOURCE_DIR}/docs/engine.md _velmora_guide)
string(REGEX MATCH "<!-- compiled: catcher.cpp -->\n\n((    [^\n]*\n|\n)+)" _velmora_found "${_velmora_guide}")
if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "docs/engine.md has no code block after <!-- compiled: catcher.cpp -->")
endif()
string(REPLACE "\n    " "\n" _velmora_catcher "\n${CMAKE_MATCH_1}")
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/guide/catcher.cpp CONTENT "${_velmora_catcher}" @ONLY)
add_executable(guide_catcher ${PROJECT_BINARY_DIR}/guide/catcher.cpp)
set_target_properties(guide_catcher PROPERTIES OUTPUT_NAME catcher
                      RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/guide)
target_compile_options(guide_catcher PRIVATE ${VELMORA_WARNINGS})
target_link_libraries(guide_catcher PRIVATE Velmora::engine)
set(Velmora_DATA_DIR "${VELMORA_ENGINE_BUILD_DATA_DIR}")
include(${PROJECT_SOURCE_DIR}/cmake/VelmoraData.cmake)
velmora_add_data(guide_catcher ENGINE DejaVuSans.ttf)
velmora_add_web_page(guide_catcher TITLE "Catcher")
if(TARGET e2e_tests)
    add_dependencies(e2e_tests guide_catcher)
endif()
