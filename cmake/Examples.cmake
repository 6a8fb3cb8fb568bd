# Builds the example games of examples/ with the tree, so that they cannot
# fall behind the engine. Each example is an outside project: its own
# CMakeLists.txt finds the engine with find_package(Velmora) and includes
# <velmora/engine/...>. Here that package is stood in for by the engine
# target of this build: a Velmora::engine that also offers the headers under
# velmora/, and an empty package file that find_package then reads.
set(_velmora_example_root ${CMAKE_BINARY_DIR}/examples-engine)
file(MAKE_DIRECTORY ${_velmora_example_root}/include)
file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src ${_velmora_example_root}/include/velmora SYMBOLIC)
file(WRITE ${_velmora_example_root}/VelmoraConfig.cmake
     "# The engine of the enclosing build; Velmora::engine is already defined.\n")

add_library(velmora_engine_in_tree INTERFACE)
target_link_libraries(velmora_engine_in_tree INTERFACE velmora_engine)
target_include_directories(velmora_engine_in_tree INTERFACE ${_velmora_example_root}/include)
add_library(Velmora::engine ALIAS velmora_engine_in_tree)

set(Velmora_DIR ${_velmora_example_root} CACHE PATH "The engine package the examples build against" FORCE)
add_subdirectory(examples/bounce ${CMAKE_BINARY_DIR}/examples/bounce)
target_compile_options(bounce PRIVATE ${VELMORA_WARNINGS})
