# Windows libraries that are no KnownDLLs (WinHTTP, WinMM) must not be in a
# program's import table: Windows would look for them in the program's own
# folder first, before the program could say otherwise, and the setup
# program runs from folders anyone can drop files into (Downloads, its setup
# folder). Linked through a delay-load import library instead, a library is
# loaded at the first call of one of its functions, by MinGW's delay-load
# helper with LoadLibraryA, which keeps to the search the program set as
# its first statement: System32 only.
#
#   tarmesh_delay_load_library(OUT NAME)
# sets OUT to a delay-load import library for NAME.dll, with every function
# of MinGW's own import library lib<NAME>.a. It is made at configuration
# time: it depends on the toolchain alone.
function(tarmesh_delay_load_library out name)
    find_library(TARMESH_IMPORT_LIBRARY_${name} NAMES lib${name}.a REQUIRED NO_CACHE)
    set(import_library ${TARMESH_IMPORT_LIBRARY_${name}})
    execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_library}
                    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
    # Functions are the "T" symbols; 32-bit ones carry the C underscore, and
    # the stdcall "@bytes" that dlltool --kill-at keeps off the DLL's names.
    string(REGEX MATCHALL "[^\n]* T [^\n]+" functions "${symbols}")
    set(definitions "LIBRARY ${name}.dll\nEXPORTS\n")
    foreach(line IN LISTS functions)
        string(REGEX REPLACE ".* T " "" function "${line}")
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            string(REGEX REPLACE "^_" "" function "${function}")
        endif()
        string(APPEND definitions "${function}\n")
    endforeach()
    set(folder ${CMAKE_BINARY_DIR}/delay-load)
    file(MAKE_DIRECTORY ${folder})
    file(WRITE ${folder}/${name}.def "${definitions}")
    # Run in its folder, so the names dlltool makes of the output's path
    # hold no build folder.
    execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${name}.def
                            --output-delaylib lib${name}_delay.a --dllname ${name}.dll
                    WORKING_DIRECTORY ${folder} COMMAND_ERROR_IS_FATAL ANY)
    set(${out} ${folder}/lib${name}_delay.a PARENT_SCOPE)
endfunction()
