# How a gauge module is built: its bitmaps drawn by an art tool at build time,
# carried inside the module (Windows resources in the PE file, an embedded
# bundle in the ELF file), and only `Linkage` and `ImportTable` exported.

set(K729_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})

# Compile options every module shares: no exceptions, no RTTI, nothing visible
# but what is exported by name.
add_library(k729_module_options INTERFACE)
target_compile_options(k729_module_options INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions -fno-rtti>)

# Native tools (art generators, checks) that a cross build takes from the
# native build: each is registered here and exported at the end.
function(k729_export_tool target)
    set_property(GLOBAL APPEND PROPERTY K729_EXPORTED_TOOLS ${target})
endfunction()

# The target of a native tool: built here, or imported from the native build
# (under the `native::` prefix) when cross-building.
function(k729_tool out target)
    if(CMAKE_CROSSCOMPILING)
        set(${out} native::${target} PARENT_SCOPE)
    else()
        set(${out} ${target} PARENT_SCOPE)
    endif()
endfunction()

# k729_add_art_tool(<set> SOURCES ...): the program that draws a gauge
# folder's bitmaps: `<set>-art <gauge name> <output folder>`.
function(k729_add_art_tool set)
    cmake_parse_arguments(A "" "" "SOURCES" ${ARGN})
    if(CMAKE_CROSSCOMPILING)
        return()
    endif()
    add_executable(${set}-art ${A_SOURCES})
    target_link_libraries(${set}-art PRIVATE k729_art k729_runtime_headers)
    k729_export_tool(${set}-art)
endfunction()

# k729_add_gauge(<gauge name> ART <set> SOURCES ... [DEFINITIONS ...]
#                [DESCRIPTION text])
function(k729_add_gauge name)
    cmake_parse_arguments(G "" "ART;DESCRIPTION" "SOURCES;DEFINITIONS" ${ARGN})
    set(art_dir ${CMAKE_CURRENT_BINARY_DIR}/${name}.art)
    k729_tool(art_tool ${G_ART}-art)
    add_custom_command(
        OUTPUT ${art_dir}/bitmaps.rc ${art_dir}/resources.bin
        COMMAND ${CMAKE_COMMAND} -E make_directory ${art_dir}
        COMMAND $<TARGET_FILE:${art_tool}> ${name} ${art_dir}
        DEPENDS $<TARGET_FILE:${art_tool}>
        COMMENT "Drawing the bitmaps of ${name}"
        VERBATIM)

    add_library(${name} SHARED ${G_SOURCES})
    set_target_properties(${name} PROPERTIES
        PREFIX "" SUFFIX ".gau" OUTPUT_NAME ${name}
        CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
    target_compile_definitions(${name} PRIVATE ${G_DEFINITIONS})
    target_link_libraries(${name} PRIVATE k729_runtime k729_module_options)

    if(WIN32)
        set(GAUGE_NAME ${name})
        set(GAUGE_DESCRIPTION "${G_DESCRIPTION}")
        set(GAUGE_BITMAPS ${art_dir}/bitmaps.rc)
        configure_file(${K729_CMAKE_DIR}/gauge.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc @ONLY)
        target_sources(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}.rc)
        # windres does not see a changed bitmap by itself.
        set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${name}.rc PROPERTIES
            OBJECT_DEPENDS "${art_dir}/bitmaps.rc;${art_dir}/resources.bin")
        # Static runtime (no libgcc or libstdc++ DLL), only the dllexport'ed
        # records exported, and a reproducible file.
        target_link_options(${name} PRIVATE -static -s
            -Wl,--exclude-all-symbols,--no-insert-timestamp)
    else()
        set(GAUGE_BUNDLE ${art_dir}/resources.bin)
        configure_file(${K729_CMAKE_DIR}/resource_bundle.cpp.in
                       ${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.cpp @ONLY)
        target_sources(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.cpp)
        set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/${name}_resources.cpp
            PROPERTIES OBJECT_DEPENDS ${art_dir}/resources.bin)
        target_link_options(${name} PRIVATE -Wl,--no-undefined
            -Wl,--version-script=${K729_CMAKE_DIR}/gauge-exports.map)
    endif()
    set_property(GLOBAL APPEND PROPERTY K729_GAUGES ${name})
endfunction()
