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

# A year's version folder of the payload must be one of the years: its
# files would be installed for no Revit. What is not a version folder at all
# ("notes.txt", "2017-beta") the packing tool refuses by the installer's own
# rule for entry names.
function(tarmesh_check_payload_years payload first last)
    file(GLOB entries RELATIVE ${payload} LIST_DIRECTORIES true ${payload}/*)
    foreach(name IN LISTS entries)
        if(NOT name MATCHES "^[1-9][0-9][0-9][0-9]$" OR NOT IS_DIRECTORY ${payload}/${name})
            continue()
        elseif(name LESS first OR name GREATER last)
            message(FATAL_ERROR "The payload's version folder \"${name}\" is outside the installation years "
                                "${first}-${last} (TARMESH_FIRST_YEAR, TARMESH_LAST_YEAR): "
                                "${payload}/${name}")
        endif()
    endforeach()
endfunction()
