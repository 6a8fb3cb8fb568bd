# Builds the example games of examples/ with the tree, so that they cannot
# fall behind the engine. Each example is an outside project: its own
# CMakeLists.txt finds the engine with find_package(Velmora). Here the
# package is this build's Velmora::engine (see Install.cmake), and
# find_package reads a package file that only names the engine's data, as
# the installed one does.
set(_velmora_example_package ${CMAKE_BINARY_DIR}/examples-package)
foreach(_file ${VELMORA_ENGINE_DATA_FILES})
    get_filename_component(_folder ${_file} DIRECTORY)
    file(COPY ${CMAKE_SOURCE_DIR}/data/${_file} DESTINATION ${_velmora_example_package}/data/${_folder})
endforeach()
file(WRITE ${_velmora_example_package}/VelmoraConfig.cmake
     "# The engine of the enclosing build: Velmora::engine is already defined.\n"
     "set(Velmora_DATA_DIR \"${_velmora_example_package}/data\")\n")
set(Velmora_DIR ${_velmora_example_package} CACHE PATH "The engine package the examples build against" FORCE)

add_subdirectory(examples/bounce ${CMAKE_BINARY_DIR}/examples/bounce)
target_compile_options(bounce PRIVATE ${VELMORA_WARNINGS})
