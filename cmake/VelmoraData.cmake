# velmora_add_data(<target> [<folder> ...] [ENGINE <file> ...])
#
# Puts a game's data/ together beside its program: the engine's own data
# (Velmora_DATA_DIR: the shaders and the fonts a game may read), then each
# of the game's folders, if any, in the order given, a later file replacing an earlier one of the same
# name. A relative folder is taken from the calling CMakeLists.txt's folder.
#
#   add_executable(mygame main.cpp)
#   target_link_libraries(mygame PRIVATE Velmora::engine)
#   velmora_add_data(mygame data)      # -> <folder of mygame>/data/
#
# ENGINE names the engine's files the game loads, by the names it loads them
# with (DejaVuSans.ttf, textured.glsl, text.glsl, font.png, font.csv), and
# only those come; ENGINE alone, none. Without ENGINE all of them come. A
# name the engine's data does not hold stops the configuration.
#
#   velmora_add_data(mygame data ENGINE DejaVuSans.ttf)
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

    cmake_parse_arguments(PARSE_ARGV 1 _data "" "" "ENGINE")
    set(_data_placeholder "<velmora-data>") # the data folder, known further down
    set(_folders "")
    set(_copies "")
    set(_files "")
    if(NOT DEFINED _data_ENGINE AND NOT "ENGINE" IN_LIST ARGN)
        list(APPEND _folders "${Velmora_DATA_DIR}")
    else()
        # Only the engine's files named, each into its own folder of data/.
        file(GLOB_RECURSE _engine RELATIVE "${Velmora_DATA_DIR}" "${Velmora_DATA_DIR}/*")
        foreach(_name IN LISTS _data_ENGINE)
            set(_found "")
            foreach(_file IN LISTS _engine)
                get_filename_component(_file_name "${_file}" NAME)
                if(_file_name STREQUAL _name)
                    set(_found "${_file}")
                endif()
            endforeach()
            if(NOT _found)
                string(REPLACE ";" ", " _held "${_engine}")
                message(FATAL_ERROR "velmora_add_data(${target}): the engine's data holds no ${_name} (it holds ${_held})")
            endif()
            get_filename_component(_found_folder "${_found}" DIRECTORY)
            list(APPEND _files "${Velmora_DATA_DIR}/${_found}")
            list(APPEND _copies
                COMMAND ${CMAKE_COMMAND} -E make_directory "${_data_placeholder}/${_found_folder}"
                COMMAND ${CMAKE_COMMAND} -E copy "${Velmora_DATA_DIR}/${_found}"
                        "${_data_placeholder}/${_found_folder}")
        endforeach()
    endif()
    foreach(_folder IN LISTS _data_UNPARSED_ARGUMENTS)
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
    string(REPLACE "${_data_placeholder}" "${_data}" _copies "${_copies}")
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
