# velmora_add_replay_test(): a game's own test that replays a recorded run
# of the game and checks what the player would have seen.
#
#   velmora_add_replay_test(<target>
#       RECORDING <file>                 a run recorded with VELMORA_RECORD=<file>
#       PICTURES <frame>:<png> ...       the pictures to check, after these frames
#       [TOLERANCE <percent>]            pixels that may differ, default 0.1 %
#       [NAME <test>]                    default <target>_replay
#       [WORKING_DIRECTORY <dir>]        default the program's folder
#       [ARGUMENTS <argument> ...])      the program's command line
#
# The test (ctest) runs the program with the recording in place of the
# player: the recorded frame clock and input, as fast as it draws. It
# passes when every picture matches its stored PNG (a pixel differs when a
# channel is off by more than 24 of 255, and no more than <percent> of the
# pixels may differ), no OpenGL error was raised, and the program ended with
# status 0 at the recording's end. Without a display (no DISPLAY nor
# WAYLAND_DISPLAY) it runs under an X server of its own (xvfb-run, from the
# Debian package xvfb). Each checked picture of the run is kept in
# <build folder>/<test>/frame-<frame>.png to look at.
#
# When the picture is meant to change, write the stored PNGs anew from the
# replay:  VELMORA_UPDATE_PICTURES=1 ctest -R <test>
# Relative paths are taken from the calling CMakeLists.txt's folder.

# Run as a script (cmake -P), this file is the test itself.
if(CMAKE_SCRIPT_MODE_FILE)
    set(_command "${VELMORA_PROGRAM}")
    if(VELMORA_ARGUMENTS)
        string(REPLACE "|" ";" _arguments "${VELMORA_ARGUMENTS}")
        list(APPEND _command ${_arguments})
    endif()
    if("$ENV{DISPLAY}" STREQUAL "" AND "$ENV{WAYLAND_DISPLAY}" STREQUAL "")
        find_program(_xvfb_run xvfb-run)
        if(NOT _xvfb_run)
            message(FATAL_ERROR "There is no display, and no xvfb-run to start an X server of "
                                "the test's own: install the package xvfb")
        endif()
        set(_command "${_xvfb_run}" -a -s "-screen 0 1920x1200x24 -noreset" ${_command})
    endif()
    file(MAKE_DIRECTORY "${VELMORA_OUT}")
    set(ENV{VELMORA_REPLAY} "${VELMORA_RECORDING}")
    string(REPLACE "|" ";" _pictures "${VELMORA_PICTURE_LIST}")
    set(ENV{VELMORA_PICTURES} "${_pictures}")
    set(ENV{VELMORA_PICTURES_TOLERANCE} "${VELMORA_TOLERANCE}")
    set(ENV{VELMORA_PICTURES_OUT} "${VELMORA_OUT}")
    set(ENV{VELMORA_PICTURES_WRITE} "$ENV{VELMORA_UPDATE_PICTURES}")
    execute_process(COMMAND ${_command} WORKING_DIRECTORY "${VELMORA_WORKING_DIRECTORY}"
                    RESULT_VARIABLE _status OUTPUT_VARIABLE _output ERROR_VARIABLE _errors
                    TIMEOUT 900)
    message("${_output}${_errors}")
    if(NOT _status STREQUAL "0")
        message(FATAL_ERROR "The replay did not end cleanly: ${VELMORA_PROGRAM} ended with "
                            "\"${_status}\"")
    endif()
    if(NOT _output MATCHES "Replay check passed")
        if(NOT _errors MATCHES "Replay check failed")
            message(FATAL_ERROR "The replay test failed: the program said nothing of the check "
                                "(is it a game on this engine?)")
        endif()
        message(FATAL_ERROR "The replay test failed: see \"Replay check failed\" above. If "
                            "the change is meant, store the new pictures with "
                            "VELMORA_UPDATE_PICTURES=1 ctest -R ${VELMORA_TEST}")
    endif()
    return()
endif()

function(velmora_add_replay_test target)
    if(EMSCRIPTEN OR WIN32)
        # A page has no environment to replay from; a Windows program is
        # built here but does not run here.
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 _replay "" "RECORDING;TOLERANCE;NAME;WORKING_DIRECTORY"
                          "PICTURES;ARGUMENTS")
    if(NOT _replay_RECORDING OR NOT _replay_PICTURES)
        message(FATAL_ERROR "velmora_add_replay_test(${target}): RECORDING and PICTURES are needed")
    endif()
    if(NOT _replay_NAME)
        set(_replay_NAME ${target}_replay)
    endif()
    if(NOT DEFINED _replay_TOLERANCE)
        set(_replay_TOLERANCE 0.1)
    endif()
    if(NOT _replay_WORKING_DIRECTORY)
        set(_replay_WORKING_DIRECTORY "$<TARGET_FILE_DIR:${target}>")
    endif()
    get_filename_component(_recording "${_replay_RECORDING}" ABSOLUTE
                           BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    set(_list "")
    foreach(_picture IN LISTS _replay_PICTURES)
        if(NOT _picture MATCHES "^([0-9]+):(.+)$")
            message(FATAL_ERROR "velmora_add_replay_test(${target}): \"${_picture}\" is not "
                                "<frame>:<png>")
        endif()
        set(_frame ${CMAKE_MATCH_1})
        get_filename_component(_png "${CMAKE_MATCH_2}" ABSOLUTE
                               BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
        string(APPEND _list "${_frame}=${_png}|")
    endforeach()
    string(REPLACE ";" "|" _arguments "${_replay_ARGUMENTS}")
    add_test(NAME ${_replay_NAME}
             COMMAND ${CMAKE_COMMAND}
                     "-DVELMORA_PROGRAM=$<TARGET_FILE:${target}>"
                     "-DVELMORA_ARGUMENTS=${_arguments}"
                     "-DVELMORA_RECORDING=${_recording}"
                     "-DVELMORA_PICTURE_LIST=${_list}"
                     "-DVELMORA_TOLERANCE=${_replay_TOLERANCE}"
                     "-DVELMORA_OUT=${CMAKE_CURRENT_BINARY_DIR}/${_replay_NAME}"
                     "-DVELMORA_WORKING_DIRECTORY=${_replay_WORKING_DIRECTORY}"
                     "-DVELMORA_TEST=${_replay_NAME}"
                     -P "${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
endfunction()
