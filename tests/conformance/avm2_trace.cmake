# Runs every avm2-trace case (ActionScript 3) of the corpus with vantrel-render --trace and
# compares the lines with output.txt exactly. Prints the score; fails only
# when it falls below the committed floor.
#   cmake -DRENDER=... -DCORPUS=... -DFLOORS=... -P avm2_trace.cmake
if(NOT EXISTS "${CORPUS}/MANIFEST.tsv")
    message("avm2-trace: corpus not found at ${CORPUS}, skipped")
    return()
endif()

file(STRINGS "${CORPUS}/MANIFEST.tsv" rows)
set(passed 0)
set(failed 0)
set(failures "")
foreach(row IN LISTS rows)
    string(REPLACE "\t" ";" cols "${row}")
    list(GET cols 0 tier)
    if(NOT tier STREQUAL "avm2-trace")
        continue()
    endif()
    list(GET cols 1 name)
    list(GET cols 8 frames)
    set(dir "${CORPUS}/avm2/${name}")
    execute_process(COMMAND "${RENDER}" "${dir}/test.swf" --frame ${frames} --trace
        OUTPUT_VARIABLE out ERROR_QUIET TIMEOUT 60 RESULT_VARIABLE rc)
    file(READ "${dir}/output.txt" expected)
    # Compare line by line, ignoring only a missing final newline.
    string(REGEX REPLACE "\n$" "" out "${out}")
    string(REGEX REPLACE "\r?\n$" "" expected "${expected}")
    string(REPLACE "\r\n" "\n" expected "${expected}")
    if(out STREQUAL expected)
        math(EXPR passed "${passed} + 1")
    else()
        math(EXPR failed "${failed} + 1")
        list(APPEND failures ${name})
    endif()
endforeach()

message("avm2-trace: ${passed} passed, ${failed} failed")
string(REPLACE ";" " " failures "${failures}")
message("failing: ${failures}")

file(STRINGS "${FLOORS}" floor_lines REGEX "^avm2-trace[ \t]+[0-9]+")
set(floor 0)
foreach(line IN LISTS floor_lines)
    string(REGEX REPLACE "^avm2-trace[ \t]+([0-9]+).*" "\\1" floor "${line}")
endforeach()
if(passed LESS floor)
    message(FATAL_ERROR "avm2-trace: ${passed} passed, below the floor of ${floor}")
endif()
