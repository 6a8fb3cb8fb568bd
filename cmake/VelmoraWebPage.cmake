# velmora_add_web_page(<target> [DATA <folder>] [TITLE <text>] [NOTE <text>])
#
# Makes <target>, a game's executable, a web page when the build is an
# Emscripten one (emcmake cmake ...): the folder NAME/ of the build, NAME
# being the program's file name, holds index.html, NAME.js, NAME.wasm and
# NAME.data, which packs <folder> so that the game reads it as /data (also
# Application::executableDirectory() + "/data") through the same
# data-directory calls as on the desktop. <folder> may be one that the build
# puts together before the program links; left out, it is what
# velmora_add_data(<target> ...) puts together, the engine's data and the
# game's:
#
#   velmora_add_data(mygame data)
#   velmora_add_web_page(mygame NOTE "Arrows move, Space fires.")
# Any static web server serves that folder. TITLE is
# the page's title (the target's name unless given); NOTE, a line the page
# shows until the player's first key or click (what the page's keys mean).
#
# On the desktop it does nothing, so one CMakeLists.txt builds both.
#
# The page fills the browser's window; the engine sizes the picture to it at
# the device pixel ratio. Sound starts at the first key or click (browsers
# hold it until then). The query string is main()'s arguments: each part
# between "&" one argument, "name=value" two ("--name", "value"), so
# `?windowed&bench=2000` gives "windowed", "--bench", "2000".

function(velmora_add_web_page target)
    if(NOT EMSCRIPTEN)
        return()
    endif()
    cmake_parse_arguments(PARSE_ARGV 1 _page "" "DATA;TITLE;NOTE" "")
    if(NOT _page_DATA)
        get_target_property(_page_DATA ${target} VELMORA_DATA_FOLDER)
    endif()
    if(NOT _page_DATA)
        message(FATAL_ERROR "velmora_add_web_page(${target}): name its DATA <folder>, or call velmora_add_data(${target} ...) first")
    endif()
    get_filename_component(_data "${_page_DATA}" ABSOLUTE)
    # The page's folder and script are named after the program's file name.
    get_target_property(_name "${target}" OUTPUT_NAME)
    if(NOT _name)
        set(_name "${target}")
    endif()
    if(NOT _page_TITLE)
        set(_page_TITLE "${_name}")
    endif()
    set(_folder "${CMAKE_BINARY_DIR}/${_name}")
    set_target_properties("${target}" PROPERTIES SUFFIX .js RUNTIME_OUTPUT_DIRECTORY "${_folder}")
    # The folder as one argument of the link's command line, whatever its
    # name holds: quoted for SHELL:, and each "@" doubled (a single one
    # divides the packer's source from its place in the page).
    string(REPLACE "@" "@@" _packed "${_data}")
    string(REPLACE "\\" "\\\\" _packed "${_packed}")
    string(REPLACE "\"" "\\\"" _packed "${_packed}")
    target_link_options("${target}" PRIVATE
        "SHELL:--preload-file \"${_packed}@/data\""
        -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web)
    # A changed file of the data folder packs it again. (A folder that the
    # build puts together is packed when the program links after it.)
    if(IS_DIRECTORY "${_data}")
        file(GLOB_RECURSE _files CONFIGURE_DEPENDS "${_data}/*")
        set_property(TARGET "${target}" APPEND PROPERTY LINK_DEPENDS ${_files})
    endif()
    set(VELMORA_PAGE_TITLE "${_page_TITLE}")
    set(VELMORA_PAGE_SCRIPT "${_name}.js")
    set(VELMORA_PAGE_NOTE "${_page_NOTE}")
    # The page's template lies beside this file, in the tree and installed.
    configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/web/index.html.in" "${_folder}/index.html" @ONLY)
endfunction()
