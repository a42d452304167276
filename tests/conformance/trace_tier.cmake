# Runs every case of one script-trace tier of the corpus (avm1-trace for
# ActionScript 1/2, avm2-trace for ActionScript 3) with vantrel-render --trace and
# compares the lines with output.txt exactly. Prints the score; fails only
# when it falls below the committed floor.
#   cmake -DTIER=avm1-trace -DFOLDER=avm1 -DRENDER=... -DCORPUS=... -DFLOORS=... -P trace_tier.cmake
# Keep empty columns of the manifest, so column numbers stay those of the file.
cmake_policy(SET CMP0007 NEW)

if(NOT EXISTS "${CORPUS}/MANIFEST.tsv")
    message("${TIER}: corpus not found at ${CORPUS}, skipped")
    return()
endif()

file(STRINGS "${CORPUS}/MANIFEST.tsv" rows)
set(passed 0)
set(failed 0)
set(failures "")
foreach(row IN LISTS rows)
    string(REPLACE "\t" ";" cols "${row}")
    list(GET cols 0 tier)
    if(NOT tier STREQUAL "${TIER}")
        continue()
    endif()
    list(GET cols 1 name)
    list(GET cols 8 frames)
    set(dir "${CORPUS}/${FOLDER}/${name}")
    # Each case keeps its saved games in a folder of its own, gone after the
    # run: a save one case (or an earlier run) wrote never changes another's trace.
    set(saves "${CMAKE_CURRENT_BINARY_DIR}/${TIER}-saves/${name}")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E env "XDG_DATA_HOME=${saves}"
        "${RENDER}" "${dir}/test.swf" --frame ${frames} --trace
        OUTPUT_VARIABLE out ERROR_QUIET TIMEOUT 60 RESULT_VARIABLE rc)
    file(REMOVE_RECURSE "${saves}")
    file(READ "${dir}/output.txt" expected)
    # Compare line by line, ignoring only a missing final newline.
    string(REGEX REPLACE "\n$" "" out "${out}")
    string(REGEX REPLACE "\r?\n$" "" expected "${expected}")
    string(REPLACE "\r\n" "\n" expected "${expected}")
    # Both sides alike: a movie that traces a carriage return before the
    # line end writes the same bytes as the reference log.
    string(REPLACE "\r\n" "\n" out "${out}")
    if(out STREQUAL expected)
        math(EXPR passed "${passed} + 1")
    else()
        math(EXPR failed "${failed} + 1")
        list(APPEND failures ${name})
    endif()
endforeach()

message("${TIER}: ${passed} passed, ${failed} failed")
string(REPLACE ";" " " failures "${failures}")
message("failing: ${failures}")

file(STRINGS "${FLOORS}" floor_lines REGEX "^${TIER}[ \t]+[0-9]+")
set(floor 0)
foreach(line IN LISTS floor_lines)
    string(REGEX REPLACE "^${TIER}[ \t]+([0-9]+).*" "\\1" floor "${line}")
endforeach()
if(passed LESS floor)
    message(FATAL_ERROR "${TIER}: ${passed} passed, below the floor of ${floor}")
endif()
