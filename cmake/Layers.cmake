# The one rule of dependencies: front ends -> logic -> seam, never back.
#
# Checked at configure time, so that a wrong include fails the build before
# anything compiles:
# - the seam and the logic link no toolkit;
# - a source file includes project headers only from its own layer and the
#   layers below it. The logic's folders are layers of their own, in the
#   order of _logic: the sound formats (audio/), the bank and its file,
#   which converts voice lumps on loading (bank/), the settings (settings/),
#   and the commands a front end calls (app/);
# - only the seam and the front ends may include a platform or toolkit header.

foreach(_target jbxseam jbxcore)
    get_target_property(_links ${_target} LINK_LIBRARIES)
    if(_links MATCHES "Qt")
        message(FATAL_ERROR "${_target} must not link Qt (links: ${_links})")
    endif()
endforeach()

set(_logic audio bank settings app)
set(_front_ends qt cli win32)

# Which top-level folders each folder may include from.
set(_may_include_seam seam)
set(_below seam)
foreach(_folder IN LISTS _logic)
    list(APPEND _below ${_folder})
    set(_may_include_${_folder} ${_below})
endforeach()
foreach(_front IN LISTS _front_ends)
    set(_may_include_${_front} seam ${_logic} resources ${_front})
endforeach()

set(_platform_headers "<(Q[A-Za-z]*|windows\\.h|unistd\\.h|sys/[a-z]+\\.h|shlobj\\.h|mmsystem\\.h)>")

foreach(_folder seam ${_logic} ${_front_ends})
    file(GLOB_RECURSE _sources CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/${_folder}/*.h ${PROJECT_SOURCE_DIR}/${_folder}/*.cpp)
    foreach(_source IN LISTS _sources)
        file(STRINGS ${_source} _includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
        file(RELATIVE_PATH _name ${PROJECT_SOURCE_DIR} ${_source})
        foreach(_line IN LISTS _includes)
            if(_line MATCHES "\"([a-z0-9_]+)/[^\"]+\"")
                set(_used ${CMAKE_MATCH_1})
                if(NOT _used IN_LIST _may_include_${_folder})
                    message(FATAL_ERROR
                        "${_name} includes from ${_used}/, which the ${_folder}/ layer may not use:\n  ${_line}")
                endif()
            elseif(_line MATCHES "${_platform_headers}" AND _folder IN_LIST _logic)
                message(FATAL_ERROR
                    "${_name} is logic and may not use a platform or toolkit header:\n  ${_line}")
            endif()
        endforeach()
    endforeach()
endforeach()
