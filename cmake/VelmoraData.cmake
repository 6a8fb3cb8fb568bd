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
#
# The build removes and replaces only files that it copied there itself (it
# keeps their list in the build's folder): a file of someone else's in data/
# stays, and one in the way of a copy stops the build with its name. When the
# program's folder is the game's own folder (an in-source build, or
# CMAKE_RUNTIME_OUTPUT_DIRECTORY set to it), data/ beside the program is the
# game's own data: the build says so and copies nothing.
#
# With a game that takes the engine as a subfolder (add_subdirectory or
# FetchContent), the engine's data is the folder that the engine's build puts
# together; Velmora_DATA_DIR, when set, comes first.

# Run by the build (cmake -P this file): puts the folders given after "--"
# together in VELMORA_DATA_TO, a later file replacing an earlier one of the
# same name, and keeps the list of what lies there in VELMORA_DATA_MANIFEST.
# With VELMORA_DATA_ONLY (a file listing names within the first folder), only
# those names of the first folder come.
if(CMAKE_SCRIPT_MODE_FILE AND DEFINED VELMORA_DATA_COPY)
    cmake_minimum_required(VERSION 3.21)
    set(_folders "")
    set(_after OFF)
    math(EXPR _last "${CMAKE_ARGC} - 1")
    foreach(_i RANGE ${_last})
        if(_after)
            get_filename_component(_folder "${CMAKE_ARGV${_i}}" REALPATH)
            list(APPEND _folders "${_folder}")
        elseif(CMAKE_ARGV${_i} STREQUAL "--")
            set(_after ON)
        endif()
    endforeach()
    get_filename_component(_to "${VELMORA_DATA_TO}" REALPATH)
    foreach(_folder IN LISTS _folders)
        cmake_path(IS_PREFIX _folder "${_to}" NORMALIZE _inside)
        cmake_path(IS_PREFIX _to "${_folder}" NORMALIZE _around)
        if(_inside OR _around)
            message("velmora_add_data(${VELMORA_DATA_COPY}): ${_to} is the game's own data folder: nothing is copied")
            return()
        endif()
    endforeach()
    # What each name is copied from: the last folder that has it.
    set(_names "")
    set(_sources "")
    list(GET _folders 0 _first)
    list(REVERSE _folders)
    foreach(_folder IN LISTS _folders)
        file(GLOB_RECURSE _found RELATIVE "${_folder}" "${_folder}/*")
        if(_folder STREQUAL _first AND DEFINED VELMORA_DATA_ONLY)
            file(STRINGS "${VELMORA_DATA_ONLY}" _found)
        endif()
        foreach(_name IN LISTS _found)
            if(NOT _name IN_LIST _names)
                list(APPEND _names "${_name}")
                list(APPEND _sources "${_folder}/${_name}")
            endif()
        endforeach()
    endforeach()
    set(_copied "")
    if(EXISTS "${VELMORA_DATA_MANIFEST}")
        file(STRINGS "${VELMORA_DATA_MANIFEST}" _copied)
    endif()
    # A file that the build did not copy is never replaced, unless it is the
    # same already (a data/ of an earlier build, before the list was kept).
    foreach(_name _source IN ZIP_LISTS _names _sources)
        if(EXISTS "${_to}/${_name}" AND NOT _name IN_LIST _copied)
            file(SHA256 "${_to}/${_name}" _theirs)
            file(SHA256 "${_source}" _ours)
            if(NOT _theirs STREQUAL _ours)
                message(FATAL_ERROR " velmora_add_data(${VELMORA_DATA_COPY}): ${_to}/${_name} was not copied by the build: move it away")
            endif()
        endif()
    endforeach()
    foreach(_name IN LISTS _copied)
        if(NOT _name IN_LIST _names AND EXISTS "${_to}/${_name}")
            file(REMOVE "${_to}/${_name}")
            # Its folders go too once they are empty.
            get_filename_component(_dir "${_to}/${_name}" DIRECTORY)
            while(NOT _dir STREQUAL _to)
                file(GLOB _left "${_dir}/*")
                if(_left)
                    break()
                endif()
                file(REMOVE_RECURSE "${_dir}")
                get_filename_component(_dir "${_dir}" DIRECTORY)
            endwhile()
        endif()
    endforeach()
    foreach(_name _source IN ZIP_LISTS _names _sources)
        get_filename_component(_dir "${_to}/${_name}" DIRECTORY)
        file(MAKE_DIRECTORY "${_dir}")
        file(COPY_FILE "${_source}" "${_to}/${_name}" ONLY_IF_DIFFERENT)
    endforeach()
    list(JOIN _names "\n" _list)
    file(WRITE "${VELMORA_DATA_MANIFEST}" "${_list}\n")
    return()
endif()

function(velmora_add_data target)
    if(NOT TARGET ${target})
        message(FATAL_ERROR "velmora_add_data: ${target} is not a target")
    endif()
    get_target_property(_added ${target} VELMORA_DATA_ADDED)
    if(_added)
        message(FATAL_ERROR "velmora_add_data(${target}) is called twice: name every folder in one call")
    endif()
    set_target_properties(${target} PROPERTIES VELMORA_DATA_ADDED ON)
    if(NOT Velmora_DATA_DIR AND TARGET Velmora::engine)
        get_target_property(Velmora_DATA_DIR Velmora::engine VELMORA_DATA_DIR)
    endif()
    if(NOT Velmora_DATA_DIR OR NOT IS_DIRECTORY "${Velmora_DATA_DIR}")
        message(FATAL_ERROR "velmora_add_data(${target}): find_package(Velmora) or add the engine's folder first")
    endif()

    cmake_parse_arguments(PARSE_ARGV 1 _data "" "" "ENGINE")
    set(_folders "${Velmora_DATA_DIR}")
    set(_files "")
    set(_only "")
    if(DEFINED _data_ENGINE OR "ENGINE" IN_LIST ARGN)
        # Only the engine's files named, each where the engine keeps it.
        file(GLOB_RECURSE _engine RELATIVE "${Velmora_DATA_DIR}" "${Velmora_DATA_DIR}/*")
        set(_chosen "")
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
            list(APPEND _chosen "${_found}")
            list(APPEND _files "${Velmora_DATA_DIR}/${_found}")
        endforeach()
        set(_only "${CMAKE_CURRENT_BINARY_DIR}/${target}-engine-data.txt")
        list(JOIN _chosen "\n" _chosen_lines)
        file(WRITE "${_only}.new" "${_chosen_lines}\n")
        file(COPY_FILE "${_only}.new" "${_only}" ONLY_IF_DIFFERENT)
        file(REMOVE "${_only}.new")
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
    set(_data "$<IF:$<BOOL:${_out}>,${_out},${CMAKE_CURRENT_BINARY_DIR}>")
    # A multi-configuration generator puts the program in a folder per
    # configuration below that, unless the folder names the configuration.
    get_property(_multi GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
    get_target_property(_set ${target} RUNTIME_OUTPUT_DIRECTORY)
    set(_config "")
    if(_multi AND NOT _set MATCHES "\\$<")
        string(APPEND _data "/$<CONFIG>")
        set(_config "-$<CONFIG>")
    endif()
    string(APPEND _data "/data")
    if(EMSCRIPTEN)
        # A page reads its data from the file packed with it, never from
        # beside it: the folder stays in the build, for velmora_add_web_page.
        set(_data "${CMAKE_CURRENT_BINARY_DIR}/${target}-data")
    endif()
    set_target_properties(${target} PROPERTIES VELMORA_DATA_FOLDER "${_data}")
    foreach(_folder IN LISTS _folders)
        if(_only AND _folder STREQUAL Velmora_DATA_DIR)
            continue() # its chosen files are listed already
        endif()
        file(GLOB_RECURSE _found CONFIGURE_DEPENDS "${_folder}/*")
        list(APPEND _files ${_found})
    endforeach()
    set(_only_arg "")
    if(_only)
        set(_only_arg "-DVELMORA_DATA_ONLY=${_only}")
        list(APPEND _files "${_only}")
    endif()
    set(_list "${CMAKE_CURRENT_BINARY_DIR}/${target}-data-files.txt")
    set(_old "")
    if(EXISTS "${_list}")
        file(READ "${_list}" _old)
    endif()
    if(NOT _old STREQUAL "${_files}")
        file(WRITE "${_list}" "${_files}")
    endif()

    set(_stamp "${CMAKE_CURRENT_BINARY_DIR}/${target}-data${_config}.stamp")
    set(_manifest "${CMAKE_CURRENT_BINARY_DIR}/${target}-data${_config}-copied.txt")
    add_custom_command(OUTPUT "${_stamp}"
        COMMAND "${CMAKE_COMMAND}" "-DVELMORA_DATA_COPY=${target}" "-DVELMORA_DATA_TO=${_data}"
                "-DVELMORA_DATA_MANIFEST=${_manifest}" ${_only_arg} -P "${CMAKE_CURRENT_FUNCTION_LIST_FILE}" -- ${_folders}
        COMMAND "${CMAKE_COMMAND}" -E touch "${_stamp}"
        DEPENDS ${_files} "${_list}"
        COMMENT "Putting ${target}'s data/ together"
        VERBATIM)
    add_custom_target(${target}_data DEPENDS "${_stamp}")
    add_dependencies(${target} ${target}_data)
endfunction()
