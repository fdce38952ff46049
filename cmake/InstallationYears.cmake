# Checks of the installation years the build compiles into the setup program.

# Both years in four digits, the first not after the last.
function(tarmesh_check_years first last)
    foreach(year IN ITEMS ${first} ${last})
        if(NOT year MATCHES "^[1-9][0-9][0-9][0-9]$")
            message(FATAL_ERROR "Installation year \"${year}\" is not a year in four digits "
                                "(TARMESH_FIRST_YEAR, TARMESH_LAST_YEAR)")
        endif()
    endforeach()
    if(first GREATER last)
        message(FATAL_ERROR "TARMESH_FIRST_YEAR ${first} comes after TARMESH_LAST_YEAR ${last}")
    endif()
endfunction()

# Every entry at the top of the payload must be a version folder the program
# will install: "0000" for every year, or one of the years. The installer
# reads an entry's year from its first four characters, so anything else
# would be installed for no Revit, or for every one.
function(tarmesh_check_payload_years payload first last)
    file(GLOB entries RELATIVE ${payload} LIST_DIRECTORIES true ${payload}/*)
    foreach(name IN LISTS entries)
        if(NOT IS_DIRECTORY ${payload}/${name})
            message(FATAL_ERROR "The payload ${payload} holds the file \"${name}\" beside its version folders: "
                                "move it into 0000 or into a year's folder")
        elseif(name STREQUAL "0000")
            continue()
        elseif(NOT name MATCHES "^[0-9][0-9][0-9][0-9]$" OR name LESS first OR name GREATER last)
            message(FATAL_ERROR "The payload's version folder \"${name}\" is outside the installation years "
                                "${first}-${last} (TARMESH_FIRST_YEAR, TARMESH_LAST_YEAR): "
                                "${payload}/${name}")
        endif()
    endforeach()
endfunction()
