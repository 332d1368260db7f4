# cmake -DJBXTOOL=<program> -DOUTPUT=<file.h2m> -P jbxtool-commands.cmake
#
# Writes the COMMANDS section of jbxtool's manual page as a help2man include
# file, from each command's own --help, so that the page describes every
# command in the words the program uses. The sound and voice file options
# that close each command's help are left out: the main help lists them.

execute_process(COMMAND ${JBXTOOL} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${JBXTOOL} --help failed")
endif()
string(REGEX MATCHALL "\n  [a-z]+ " commands "${help}")

# Roff: backslashes and minus signs as themselves, no line taken as a request.
function(roff_text text out)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(page "[COMMANDS]\n")
foreach(command IN LISTS commands)
    string(STRIP "${command}" command)
    execute_process(COMMAND ${JBXTOOL} ${command} --help OUTPUT_VARIABLE text RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${JBXTOOL} ${command} --help failed")
    endif()
    string(FIND "${text}" "\n" usageEnd)
    string(SUBSTRING "${text}" 0 ${usageEnd} usage)
    string(REGEX REPLACE "^Usage: " "" usage "${usage}")
    math(EXPR bodyStart "${usageEnd} + 2")
    string(FIND "${text}" "\nSound options" bodyEnd)
    if(bodyEnd EQUAL -1)
        string(FIND "${text}" "\nVoice file options" bodyEnd)
    endif()
    if(bodyEnd EQUAL -1)
        string(LENGTH "${text}" bodyEnd)
    endif()
    math(EXPR bodyLength "${bodyEnd} - ${bodyStart}")
    string(SUBSTRING "${text}" ${bodyStart} ${bodyLength} body)
    string(STRIP "${body}" body)
    roff_text("${usage}" usage)
    roff_text("${body}" body)
    string(APPEND page ".TP\n.B \"${usage}\"\n.nf\n${body}\n.fi\n")
endforeach()
file(WRITE ${OUTPUT} "${page}")
