# velmora_add_windows_zip(<target>)
#
# In a Windows build (the engine's toolchain file, cmake/windows/), puts the
# game together for players: the folder NAME/ of the build, NAME being the
# program's file name, with NAME.exe, the data/ that velmora_add_data(<target>
# ...) put together, if any, and licences/ (the notices of what the engine
# links); and NAME.zip of that folder beside it, which a player unpacks and
# starts NAME.exe from. Made again by every build. On other systems it does
# nothing, so a game's CMakeLists.txt calls it unconditionally:
#
#   velmora_add_data(mygame data)
#   velmora_add_windows_zip(mygame)
function(velmora_add_windows_zip target)
    if(NOT WIN32)
        return()
    endif()
    if(NOT TARGET ${target})
        message(FATAL_ERROR "velmora_add_windows_zip: ${target} is not a target")
    endif()
    get_target_property(_name ${target} OUTPUT_NAME)
    if(NOT _name)
        set(_name ${target})
    endif()
    set(_folder "${CMAKE_BINARY_DIR}/${_name}")
    set(_steps
        COMMAND ${CMAKE_COMMAND} -E rm -rf "${_folder}" "${_folder}.zip"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${_folder}"
        COMMAND ${CMAKE_COMMAND} -E copy "$<TARGET_FILE:${target}>" "${_folder}")
    get_target_property(_data ${target} VELMORA_DATA_FOLDER)
    if(_data)
        list(APPEND _steps COMMAND ${CMAKE_COMMAND} -E copy_directory "${_data}" "${_folder}/data")
    endif()
    if(Velmora_LICENCES_DIR)
        list(APPEND _steps COMMAND ${CMAKE_COMMAND} -E copy_directory "${Velmora_LICENCES_DIR}"
                                   "${_folder}/licences")
    endif()
    add_custom_target(${target}_windows_zip ALL ${_steps}
        COMMAND ${CMAKE_COMMAND} -E tar cf "${_name}.zip" --format=zip "${_name}"
        WORKING_DIRECTORY "${CMAKE_BINARY_DIR}"
        COMMENT "Packing ${_name}/ and ${_name}.zip"
        VERBATIM)
    add_dependencies(${target}_windows_zip ${target})
endfunction()
