# Authenticode signatures for the Windows programs and their installer, made
# with osslsigncode from a certificate and its private key (PEM or DER) when
# both are given; without them the packages are made unsigned, as before.
# No time stamp: signing needs no time-stamping server, so no network.
#
# Three uses:
#   - CPACK_PROJECT_CONFIG_FILE: CPack reads it before each package, and it
#     takes JBX_SIGN_CERT and JBX_SIGN_KEY from the environment when the
#     build's cache gave none;
#   - CPACK_PRE_BUILD_SCRIPTS, through a script that sets JBX_SIGN_STAGED:
#     signs the staged programs (already stripped) before either package is
#     made of them;
#   - cmake -DJBX_SIGN_FILE=F -DJBX_SIGN_CERT=C -DJBX_SIGN_KEY=K -P sign.cmake:
#     signs F in place, for makensis's !finalize and !uninstfinalize.

function(jbx_sign file cert key)
    find_program(JBX_OSSLSIGNCODE osslsigncode)
    if(NOT JBX_OSSLSIGNCODE)
        message(FATAL_ERROR "Cannot sign ${file}: osslsigncode is not installed (scripts/install-deps installs it).")
    endif()
    # osslsigncode writes a new file; it replaces the old one only when
    # signing worked, so a failure leaves no half-signed program behind.
    set(signed "${file}.signed")
    file(REMOVE "${signed}")
    execute_process(COMMAND ${JBX_OSSLSIGNCODE} sign -certs ${cert} -key ${key}
            -h sha256 -n "JBX Maker" -in ${file} -out ${signed}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        file(REMOVE "${signed}")
        message(FATAL_ERROR "Cannot sign ${file} with ${cert} and ${key}:\n${output}")
    endif()
    file(RENAME "${signed}" "${file}")
endfunction()

if(DEFINED JBX_SIGN_FILE)
    jbx_sign("${JBX_SIGN_FILE}" "${JBX_SIGN_CERT}" "${JBX_SIGN_KEY}")
    return()
endif()

if(NOT JBX_SIGN_STAGED)
    if(NOT CPACK_JBX_SIGN_CERT AND NOT CPACK_JBX_SIGN_KEY)
        set(CPACK_JBX_SIGN_CERT "$ENV{JBX_SIGN_CERT}")
        set(CPACK_JBX_SIGN_KEY "$ENV{JBX_SIGN_KEY}")
    endif()
    if(NOT CPACK_JBX_SIGN_CERT AND NOT CPACK_JBX_SIGN_KEY)
        return()
    endif()
    if(NOT CPACK_JBX_SIGN_CERT OR NOT CPACK_JBX_SIGN_KEY)
        message(FATAL_ERROR "Signing needs both a certificate (JBX_SIGN_CERT) and its key (JBX_SIGN_KEY); "
            "only one was given: ${CPACK_JBX_SIGN_CERT}${CPACK_JBX_SIGN_KEY}")
    endif()
    foreach(_file IN ITEMS CERT KEY)
        # makensis runs the signing from a folder of its own.
        get_filename_component(CPACK_JBX_SIGN_${_file} "${CPACK_JBX_SIGN_${_file}}" ABSOLUTE)
        if(NOT EXISTS "${CPACK_JBX_SIGN_${_file}}")
            message(FATAL_ERROR "Cannot sign: ${CPACK_JBX_SIGN_${_file}} does not exist.")
        endif()
    endforeach()
    return()
endif()

if(CPACK_JBX_SIGN_CERT)
    file(GLOB_RECURSE _programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe")
    foreach(_program IN LISTS _programs)
        jbx_sign("${_program}" "${CPACK_JBX_SIGN_CERT}" "${CPACK_JBX_SIGN_KEY}")
    endforeach()
endif()
