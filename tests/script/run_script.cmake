# Registers the module and runs one JScript test under the script host, with the stand-in
# package's path as its argument. The script host
# exits 0 even when a script dies, so a test passes only when it printed its own "PASS". Its
# output goes through the stand-in's watcher, which closes a box left unanswered and fails.
execute_process(COMMAND wine regsvr32 /s ${DLL} RESULT_VARIABLE reg)
if(NOT reg EQUAL 0)
    message(FATAL_ERROR "regsvr32 failed: ${reg}")
endif()
execute_process(COMMAND wine cscript //nologo ${SCRIPT} ${STAND_IN} COMMAND wine ${STAND_IN} watch
    RESULTS_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT rc STREQUAL "0;0" OR NOT out MATCHES "(^|\n)PASS\r?\n?$")
    message(FATAL_ERROR "script failed (exits ${rc})")
endif()
