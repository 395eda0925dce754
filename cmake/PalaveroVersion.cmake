# palavero_embed_version(<target>
#     [FILE_VERSION <text>] [PRODUCT_VERSION <text>] [PRODUCT_NAME <text>] [INTERNAL_NAME <text>]
#     [COMPANY_NAME <text>] [FILE_DESCRIPTION <text>] [LEGAL_COPYRIGHT <text>]
#     [ORIGINAL_FILENAME <text>] [LANGUAGE <hex>] [CODE_PAGE <hex>])
#
# Embeds the version strings in <target> as an ELF note (section .note.palavero.version,
# owner "Palavero", type 1) holding a version block in the Windows layout with one string
# table under one translation (default 0409 / 04e4). ReadVersionString() in src/info reads it
# from any file. The note is a source of the target itself, so the linker keeps it.
# On Windows the same strings make the executable's VERSIONINFO resource
# (src/info/windows/palavero.rc.in), compiled by the resource compiler.
# Call it in the same CMakeLists.txt that creates <target>.
if(WIN32)
    enable_language(RC)
endif()

function(palavero_embed_version target)
    cmake_parse_arguments(V ""
        "FILE_VERSION;PRODUCT_VERSION;PRODUCT_NAME;INTERNAL_NAME;COMPANY_NAME;FILE_DESCRIPTION;LEGAL_COPYRIGHT;ORIGINAL_FILENAME;LANGUAGE;CODE_PAGE"
        "" ${ARGN})
    set(defaults
        FILE_VERSION "${PROJECT_VERSION}"
        PRODUCT_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}"
        PRODUCT_NAME "Palavero"
        INTERNAL_NAME "Palavero"
        COMPANY_NAME "Korvel Software"
        FILE_DESCRIPTION "Palavero Lite LAN-Messenger"
        LEGAL_COPYRIGHT "Copyright (C) 2014-2026 Korvel Software"
        ORIGINAL_FILENAME "palavero"
        LANGUAGE "0409"
        CODE_PAGE "04e4")
    while(defaults)
        list(POP_FRONT defaults key value)
        if(NOT DEFINED V_${key})
            set(V_${key} "${value}")
        endif()
    endwhile()

    if(WIN32)
        # The resource's numeric versions: four numbers, missing ones 0.
        foreach(kind FILE PRODUCT)
            string(REPLACE "." ";" numbers "${V_${kind}_VERSION}.0.0.0")
            list(SUBLIST numbers 0 4 numbers)
            string(JOIN "," V_${kind}_VERSION_NUMBERS ${numbers})
        endforeach()
        set(output "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
        configure_file("${PROJECT_SOURCE_DIR}/src/info/windows/palavero.rc.in" "${output}" @ONLY)
        target_sources(${target} PRIVATE "${output}")
        return()
    endif()

    set(output "${CMAKE_CURRENT_BINARY_DIR}/${target}_version_note.cpp")
    add_custom_command(
        OUTPUT "${output}"
        COMMAND palavero_versiongen "${output}" "${V_LANGUAGE}" "${V_CODE_PAGE}"
            "CompanyName=${V_COMPANY_NAME}"
            "FileDescription=${V_FILE_DESCRIPTION}"
            "FileVersion=${V_FILE_VERSION}"
            "InternalName=${V_INTERNAL_NAME}"
            "LegalCopyright=${V_LEGAL_COPYRIGHT}"
            "OriginalFilename=${V_ORIGINAL_FILENAME}"
            "ProductName=${V_PRODUCT_NAME}"
            "ProductVersion=${V_PRODUCT_VERSION}"
        DEPENDS palavero_versiongen
        COMMENT "Embedding version ${V_FILE_VERSION} in ${target}"
        VERBATIM)
    set_source_files_properties("${output}" PROPERTIES GENERATED TRUE SKIP_AUTOMOC ON SKIP_AUTOUIC ON)
    target_sources(${target} PRIVATE "${output}")
endfunction()
