# palavero_embed_version(<target>
#     [FILE_VERSION <text>] [PRODUCT_VERSION <text>] [PRODUCT_NAME <text>] [INTERNAL_NAME <text>]
#     [COMPANY_NAME <text>] [FILE_DESCRIPTION <text>] [LEGAL_COPYRIGHT <text>]
#     [ORIGINAL_FILENAME <text>] [LANGUAGE <hex>] [CODE_PAGE <hex>])
#
# Embeds the version strings in <target> as an ELF note (section .note.palavero.version,
# owner "Palavero", type 1) holding a version block in the Windows layout with one string
# table under one translation (default 0409 / 04e4). ReadVersionString() in src/info reads it
# from any file. The note is a source of the target itself, so the linker keeps it.
# Call it in the same CMakeLists.txt that creates <target>.
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
        # A VERSIONINFO resource, compiled by windres: nothing built for the
        # target runs while building.
        string(REPLACE "." "," file_version_commas "${V_FILE_VERSION}")
        string(REPLACE "." "," product_version_commas "${V_PRODUCT_VERSION}.0.0")
        if(V_ORIGINAL_FILENAME STREQUAL "palavero")
            set(V_ORIGINAL_FILENAME "palavero.exe")
        endif()
        set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
        file(WRITE "${rc}" "#include <winver.h>
1 VERSIONINFO
FILEVERSION ${file_version_commas}
PRODUCTVERSION ${product_version_commas}
FILEFLAGSMASK 0x3fL
FILEFLAGS 0x0L
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
FILESUBTYPE VFT2_UNKNOWN
BEGIN
    BLOCK \"StringFileInfo\"
    BEGIN
        BLOCK \"${V_LANGUAGE}${V_CODE_PAGE}\"
        BEGIN
            VALUE \"CompanyName\", \"${V_COMPANY_NAME}\"
            VALUE \"FileDescription\", \"${V_FILE_DESCRIPTION}\"
            VALUE \"FileVersion\", \"${V_FILE_VERSION}\"
            VALUE \"InternalName\", \"${V_INTERNAL_NAME}\"
            VALUE \"LegalCopyright\", \"${V_LEGAL_COPYRIGHT}\"
            VALUE \"OriginalFilename\", \"${V_ORIGINAL_FILENAME}\"
            VALUE \"ProductName\", \"${V_PRODUCT_NAME}\"
            VALUE \"ProductVersion\", \"${V_PRODUCT_VERSION}\"
        END
    END
    BLOCK \"VarFileInfo\"
    BEGIN
        VALUE \"Translation\", 0x${V_LANGUAGE}, 0x${V_CODE_PAGE}
    END
END
")
        target_sources(${target} PRIVATE "${rc}")
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
