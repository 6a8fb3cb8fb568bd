# velmora_add_data(<target> [<folder> ...])
#
# Puts a game's data/ together beside its program: the engine's own data
# (Velmora_DATA_DIR: the shaders and the font every game reads), then each
# of the game's folders, if any, in the order given, a later file replacing an earlier one of the same
# name. A relative folder is taken from the calling CMakeLists.txt's folder.
#
#   add_executable(mygame main.cpp)
#   target_link_libraries(mygame PRIVATE Velmora::engine)
#   velmora_add_data(mygame data)      # -> <folder of mygame>/data/
#
# In a web build (emcmake) the folder is put together in the build's folder
# instead, where velmora_add_web_page(<target>) packs it into the page.
#
# Every build of the target puts it together anew after a file in any of the
# folders was added, changed or removed, so a removed file never stays behind;
# otherwise the copy is skipped. The program finds it with
# Application::executableDirectory() + "/data", from any working directory.
# A missing folder stops the configuration with an error, and so does a second
# call for the same target.
function(velmora_add_data target)
    if(NOT TARGET ${target})
        message(FATAL_ERROR "velmora_add_data: ${target} is not a target")
    endif()
    get_target_property(_added ${target} VELMORA_DATA_ADDED)
    if(_added)
        message(FATAL_ERROR "velmora_add_data(${target}) is called twice: name every folder in one call")
    endif()
    set_target_properties(${target} PROPERTIES VELMORA_DATA_ADDED ON)
    if(NOT Velmora_DATA_DIR OR NOT IS_DIRECTORY "${Velmora_DATA_DIR}")
        message(FATAL_ERROR "velmora_add_data(${target}): find_package(Velmora) first")
    endif()

    set(_folders "${Velmora_DATA_DIR}")
    foreach(_folder IN LISTS ARGN)
        get_filename_component(_folder "${_folder}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        if(NOT IS_DIRECTORY "${_folder}")
            message(FATAL_ERROR "velmora_add_data(${target}): there is no folder ${_folder}")
        endif()
        list(APPEND _folders "${_folder}")
    endforeach()

    # The list of files is rewritten only when a file comes or goes; a change
    # of the list reruns the copy, which a file's own change does through
    # DEPENDS. CONFIGURE_DEPENDS makes each build look for new files.
    # The program's folder, without $<TARGET_FILE_DIR>, which would make the
    # copy depend on the program that depends on it.
    set(_out "$<TARGET_PROPERTY:${target},RUNTIME_OUTPUT_DIRECTORY>")
    set(_data "$<IF:$<BOOL:${_out}>,${_out},${CMAKE_CURRENT_BINARY_DIR}>/data")
    if(EMSCRIPTEN)
        # A page reads its data from the file packed with it, never from
        # beside it: the folder stays in the build, for velmora_add_web_page.
        set(_data "${CMAKE_CURRENT_BINARY_DIR}/${target}-data")
    endif()
    set_target_properties(${target} PROPERTIES VELMORA_DATA_FOLDER "${_data}")
    set(_files "")
    set(_copies "")
    foreach(_folder IN LISTS _folders)
        file(GLOB_RECURSE _found CONFIGURE_DEPENDS "${_folder}/*")
        list(APPEND _files ${_found})
        list(APPEND _copies COMMAND ${CMAKE_COMMAND} -E copy_directory "${_folder}" "${_data}")
    endforeach()
    set(_list "${CMAKE_CURRENT_BINARY_DIR}/${target}-data-files.txt")
    set(_old "")
    if(EXISTS "${_list}")
        file(READ "${_list}" _old)
    endif()
    if(NOT _old STREQUAL "${_files}")
        file(WRITE "${_list}" "${_files}")
    endif()

    set(_stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}-data.stamp")
    add_custom_command(OUTPUT "${_stamp}"
        COMMAND ${CMAKE_COMMAND} -E rm -rf "${_data}"
        ${_copies}
        COMMAND ${CMAKE_COMMAND} -E touch "${_stamp}"
        DEPENDS ${_files} "${_list}"
        COMMENT "Putting ${target}'s data/ together"
        VERBATIM)
    add_custom_target(${target}_data DEPENDS "${_stamp}")
    add_dependencies(${target} ${target}_data)
endfunction()
