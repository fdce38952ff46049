# What a maker's release needs of the shipped program: an Authenticode
# signature when a certificate is given, and its SHA-256 in the build's
# output, to compare with another build of the same commit.

set(TARMESH_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (PEM); with TARMESH_SIGN_KEY")
set(TARMESH_SIGN_KEY "" CACHE FILEPATH "Private key of TARMESH_SIGN_CERT (PEM, unencrypted)")
set(TARMESH_SIGN_PKCS12 "" CACHE FILEPATH "Code-signing certificate and key in one PKCS#12 file, instead of the two PEM files")
set(TARMESH_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File whose first line is the password of TARMESH_SIGN_PKCS12")
set(TARMESH_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server; empty for none")
set(TARMESH_SIGN_NAME "tarmesh setup" CACHE STRING "The program's name in its signature")
set(TARMESH_SIGN_URL "https://www.ostrel.com/" CACHE STRING "The web address in the program's signature")

# The options of cmake/sign-program.sh for the certificate given, in
# ${out}; empty when the build does not sign.
function(tarmesh_signing_options out)
    set(options "")
    if(NOT TARMESH_SIGN_CERT STREQUAL "" OR NOT TARMESH_SIGN_KEY STREQUAL "")
        if(TARMESH_SIGN_CERT STREQUAL "" OR TARMESH_SIGN_KEY STREQUAL "")
            message(FATAL_ERROR "Signing needs both TARMESH_SIGN_CERT and TARMESH_SIGN_KEY")
        endif()
        if(NOT TARMESH_SIGN_PKCS12 STREQUAL "")
            message(FATAL_ERROR "Give TARMESH_SIGN_CERT and TARMESH_SIGN_KEY, or TARMESH_SIGN_PKCS12, not both")
        endif()
        list(APPEND options --cert ${TARMESH_SIGN_CERT} --key ${TARMESH_SIGN_KEY})
    elseif(NOT TARMESH_SIGN_PKCS12 STREQUAL "")
        list(APPEND options --pkcs12 ${TARMESH_SIGN_PKCS12})
        if(NOT TARMESH_SIGN_PASSWORD_FILE STREQUAL "")
            list(APPEND options --password-file ${TARMESH_SIGN_PASSWORD_FILE})
        endif()
    endif()
    if(options STREQUAL "")
        set(${out} "" PARENT_SCOPE)
        return()
    endif()
    foreach(file IN LISTS TARMESH_SIGN_CERT TARMESH_SIGN_KEY TARMESH_SIGN_PKCS12 TARMESH_SIGN_PASSWORD_FILE)
        if(NOT EXISTS ${file})
            message(FATAL_ERROR "Signing file not found: ${file}")
        endif()
    endforeach()
    if(NOT TARMESH_SIGN_TIMESTAMP_URL STREQUAL "")
        list(APPEND options --timestamp ${TARMESH_SIGN_TIMESTAMP_URL})
    endif()
    find_program(OSSLSIGNCODE_PROGRAM osslsigncode)
    if(NOT OSSLSIGNCODE_PROGRAM)
        message(FATAL_ERROR "Signing needs osslsigncode (scripts/bootstrap.sh installs it)")
    endif()
    set(${out} ${options} PARENT_SCOPE)
endfunction()

# Signs the program as the last step of its build when a certificate is
# given, then prints its SHA-256.
function(tarmesh_release_program target)
    tarmesh_signing_options(options)
    if(NOT options STREQUAL "")
        # A program that could not be signed is removed: an unsigned file
        # left where the signed one belongs would be shipped by mistake.
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND sh -c "\"$0\" \"$@\" || { rm -f \"$1\"; exit 1; }"
                    ${CMAKE_SOURCE_DIR}/cmake/sign-program.sh $<TARGET_FILE:${target}>
                    ${TARMESH_SIGN_NAME} ${TARMESH_SIGN_URL} ${options}
            COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
            VERBATIM)
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E echo_append "SHA-256 of the shipped program: "
        COMMAND ${CMAKE_COMMAND} -E sha256sum $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()
