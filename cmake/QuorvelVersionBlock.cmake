# quorvel_add_version_block(<target>)
#
# Places the program's version block (company, product, versions, one translation) in an
# executable, where ReadVersionStrings reads it back from the file. The values come from the
# project: its version gives FileVersion, ProductVersion and the fixed file version.
set(QUORVEL_VERSION_BLOCK_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/../resources/VersionBlock.cpp.in)

set(QUORVEL_VERSION_HEADER_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/ProjectVersion.h.in)

# The project's version as four numbers (a missing part counts as 0), in <out_var>.
function(quorvel_version_numbers out_var)
    set(numbers "")
    foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)
        if("${PROJECT_VERSION_${part}}" STREQUAL "")
            list(APPEND numbers 0)
        else()
            list(APPEND numbers ${PROJECT_VERSION_${part}})
        endif()
    endforeach()
    set(${out_var} ${numbers} PARENT_SCOPE)
endfunction()

function(quorvel_add_version_block target)
    set(QV_TARGET ${target})
    set(QV_COMPANY_NAME "BRELLAN")
    set(QV_PRODUCT_NAME "Quorvel")
    set(QV_LANGUAGE "0409")
    set(QV_CODE_PAGE "04E4")
    set(QV_KEY "${QV_LANGUAGE}${QV_CODE_PAGE}")
    quorvel_version_numbers(numbers)
    list(JOIN numbers "." QV_FILE_VERSION)
    list(JOIN numbers " " QV_FIXED_VERSION)
    get_target_property(output_name ${target} OUTPUT_NAME)
    if(NOT output_name)
        set(output_name ${target})
    endif()
    set(QV_ORIGINAL_FILE_NAME ${output_name})
    set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}_VersionBlock.cpp)
    configure_file(${QUORVEL_VERSION_BLOCK_TEMPLATE} ${generated} @ONLY)
    target_sources(${target} PRIVATE ${generated})
endfunction()

# quorvel_add_version_header(<target>)
#
# Generates core/app/ProjectVersion.h, the project's version as a constant, for the sources of
# <target> (the core library: the CLI's --version reads it from there, so it always matches the
# version block).
function(quorvel_add_version_header target)
    quorvel_version_numbers(numbers)
    list(JOIN numbers ", " QV_FIXED_VERSION_LIST)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_generated)
    configure_file(${QUORVEL_VERSION_HEADER_TEMPLATE} ${dir}/core/app/ProjectVersion.h @ONLY)
    target_include_directories(${target} PRIVATE ${dir})
    target_sources(${target} PRIVATE ${dir}/core/app/ProjectVersion.h)
endfunction()
