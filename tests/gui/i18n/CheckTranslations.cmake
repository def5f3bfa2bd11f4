# Fails when a committed translation (.ts) is not what `update_translations` makes of the current
# sources, or leaves a text untranslated: a text added, changed or removed in src/gui must reach every
# .ts, translated, in the same change.
#
#   cmake -DLUPDATE=<lupdate> -DPROJECT=<lupdate project .cmake> -DGENERATOR=<GenerateLUpdateProject.cmake>
#         -DWORK=<scratch folder> "-DOPTIONS=<lupdate options>" "-DTS_FILES=<a.ts;b.ts>" -P CheckTranslations.cmake

foreach(var LUPDATE PROJECT GENERATOR WORK TS_FILES)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "CheckTranslations: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(COMMAND "${CMAKE_COMMAND}" "-DIN_FILE=${PROJECT}" "-DOUT_FILE=${WORK}/project.json" -P "${GENERATOR}"
                RESULT_VARIABLE generated)
if(NOT generated EQUAL 0)
    message(FATAL_ERROR "CheckTranslations: could not write the lupdate project from ${PROJECT}")
endif()

# The texts of the messages in one .ts whose translation is marked (unfinished, vanished, obsolete) or
# empty: an empty translation would show an empty caption.
function(marked_sources ts_text out_var)
    # CMake lists split at ';': park the semicolons, then cut at the end of each message.
    string(ASCII 1 park)
    string(REPLACE ";" "${park}" text "${ts_text}")
    string(REPLACE "</message>" "</message>;" messages "${text}")
    set(found "")
    foreach(message IN LISTS messages)
        if(message MATCHES "<translation[^>]*type=\"(unfinished|vanished|obsolete)\"")
            set(kind "${CMAKE_MATCH_1}")
            string(REGEX MATCH "<source>([^<]*)</source>" source "${message}")
            string(REPLACE "${park}" ";" source "${CMAKE_MATCH_1}")
            list(APPEND found "  ${kind}: \"${source}\"\n")
        elseif(message MATCHES "<translation></translation>|<translation/>")
            string(REGEX MATCH "<source>([^<]*)</source>" source "${message}")
            string(REPLACE "${park}" ";" source "${CMAKE_MATCH_1}")
            list(APPEND found "  empty: \"${source}\"\n")
        endif()
    endforeach()
    set(${out_var} "${found}" PARENT_SCOPE)
endfunction()

set(failures "")
foreach(ts IN LISTS TS_FILES)
    get_filename_component(name "${ts}" NAME)
    if(NOT EXISTS "${ts}")
        string(APPEND failures "${name} is missing\n")
        continue()
    endif()
    set(fresh "${WORK}/${name}")
    configure_file("${ts}" "${fresh}" COPYONLY)
    execute_process(COMMAND "${LUPDATE}" -silent -project "${WORK}/project.json" ${OPTIONS} -ts "${fresh}"
                    RESULT_VARIABLE updated OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT updated EQUAL 0)
        message(FATAL_ERROR "CheckTranslations: lupdate failed on ${name}:\n${out}${err}")
    endif()
    file(READ "${fresh}" fresh_text)
    file(READ "${ts}" committed_text)
    marked_sources("${fresh_text}" marked)
    if(marked)
        string(REPLACE ";" "" marked "${marked}")
        string(APPEND failures "${name} leaves texts of the sources untranslated:\n${marked}")
    elseif(NOT fresh_text STREQUAL committed_text)
        string(APPEND failures "${name} is not what lupdate makes of the sources (a text was added, changed or "
                               "removed)\n")
    endif()
endforeach()

if(failures)
    message(FATAL_ERROR "${failures}Run `cmake --build --preset dev --target update_translations`, translate the "
                        "texts marked unfinished (Qt Linguist or any editor) and commit the .ts files.")
endif()
message(STATUS "translations: every text of the sources is translated in ${TS_FILES}")
