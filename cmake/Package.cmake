# The payload the setup program carries: the packing tool packs the folder of
# version folders into a package inside the build folder, writes the version
# header there, and the resource script embeds the package with the
# licence and the artwork. Nothing tracked is changed.

set(TARMESH_PAYLOAD_DIR ${CMAKE_SOURCE_DIR}/sample/payload CACHE PATH
    "Folder of version folders (0000 for every Revit version, or a year) packed into the setup program")
set(TARMESH_ASSEMBLY_INFO ${CMAKE_SOURCE_DIR}/sample/AssemblyInfo.cs CACHE FILEPATH
    "The add-in's assembly information file; its AssemblyVersion gives the setup version")
set(TARMESH_PACKAGE_FILE "" CACHE FILEPATH
    "A ready package embedded as it is instead of one packed from TARMESH_PAYLOAD_DIR (which still gives the version)")
set(TARMESH_PACK_TOOL "" CACHE FILEPATH
    "A tarmesh-pack.exe that can run here; empty for the one of this build")
set(TARMESH_PACK_RUNNER "" CACHE FILEPATH
    "The Wine runner for TARMESH_PACK_TOOL; empty for the one of this build")

if(TARMESH_PACK_TOOL STREQUAL "")
    set(pack_tool $<TARGET_FILE:tarmesh-pack>)
    set(pack_tool_target tarmesh-pack)
else()
    set(pack_tool ${TARMESH_PACK_TOOL})
    set(pack_tool_target "")
endif()
if(TARMESH_PACK_RUNNER STREQUAL "")
    include(${CMAKE_SOURCE_DIR}/cmake/WineRunner.cmake)
    tarmesh_wine_runner_script(wine-run wineprefix 0)
    set(pack_runner ${CMAKE_BINARY_DIR}/wine-run)
else()
    set(pack_runner ${TARMESH_PACK_RUNNER})
endif()

file(REAL_PATH ${TARMESH_PAYLOAD_DIR} payload_dir)
file(REAL_PATH ${TARMESH_ASSEMBLY_INFO} assembly_info)
if(NOT IS_DIRECTORY ${payload_dir})
    message(FATAL_ERROR "TARMESH_PAYLOAD_DIR is not a folder: ${TARMESH_PAYLOAD_DIR}")
endif()
file(GLOB_RECURSE payload_files CONFIGURE_DEPENDS ${payload_dir}/*)

set(generated ${CMAKE_BINARY_DIR}/generated)
# The payload's own package, and the one the program embeds: the same file
# unless a ready package is given.
set(TARMESH_PAYLOAD_PACKAGE ${generated}/payload.pkg)
set(TARMESH_BUILT_PACKAGE ${generated}/tarmesh.pkg)
set(ready_package "")
if(NOT TARMESH_PACKAGE_FILE STREQUAL "")
    file(REAL_PATH ${TARMESH_PACKAGE_FILE} ready_package)
endif()
add_custom_command(
    OUTPUT ${TARMESH_PAYLOAD_PACKAGE} ${generated}/setup-version.h
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/pack-payload.sh ${pack_runner} ${pack_tool} ${payload_dir} ${assembly_info}
            ${CMAKE_SOURCE_DIR}/resources/setup-version.h ${TARMESH_PAYLOAD_PACKAGE} ${generated}/setup-version.h
    DEPENDS ${pack_tool_target} ${payload_files} ${assembly_info} ${CMAKE_SOURCE_DIR}/resources/setup-version.h
            ${CMAKE_SOURCE_DIR}/cmake/pack-payload.sh
    COMMENT "Packing ${payload_dir}"
    VERBATIM)
if(ready_package STREQUAL "")
    set(embedded ${TARMESH_PAYLOAD_PACKAGE})
else()
    set(embedded ${ready_package})
endif()
add_custom_command(
    OUTPUT ${TARMESH_BUILT_PACKAGE}
    COMMAND ${CMAKE_COMMAND} -E copy ${embedded} ${TARMESH_BUILT_PACKAGE}
    DEPENDS ${embedded}
    VERBATIM)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(artwork ${generated}/banner.bmp ${generated}/banner-2x.bmp ${generated}/tarmesh.ico
            ${generated}/tarmesh-small.ico ${generated}/licence-utf16.txt)
add_custom_command(
    OUTPUT ${artwork}
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/make-artwork.py
            ${CMAKE_SOURCE_DIR}/resources/licence.txt ${generated}
    DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make-artwork.py ${CMAKE_SOURCE_DIR}/resources/licence.txt
    COMMENT "Making the artwork and the licence resource"
    VERBATIM)

add_custom_target(tarmesh_payload DEPENDS ${TARMESH_BUILT_PACKAGE} ${generated}/setup-version.h ${artwork})
set(TARMESH_GENERATED_DIR ${generated})
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/setup.rc PROPERTIES
    OBJECT_DEPENDS "${TARMESH_BUILT_PACKAGE};${artwork};${CMAKE_SOURCE_DIR}/resources/tarmesh-setup.manifest")

# A setup program whose resource script finds its package, tarmesh.pkg, in
# package_folder (the build's own for the shipped program). A third argument
# names another setup application library than tarmesh_app, one built for
# other installation years.
function(tarmesh_add_setup_program name package_folder)
    set(app tarmesh_app)
    if(ARGC GREATER 2)
        set(app ${ARGV2})
    endif()
    add_executable(${name} WIN32 ${CMAKE_SOURCE_DIR}/app/Main.cpp ${CMAKE_SOURCE_DIR}/resources/setup.rc)
    target_link_libraries(${name} PRIVATE ${app})
    target_include_directories(${name} PRIVATE ${package_folder} ${TARMESH_GENERATED_DIR}
                                               ${CMAKE_SOURCE_DIR}/resources)
    target_link_options(${name} PRIVATE -municode $<$<CONFIG:Release>:-s>)
endfunction()
