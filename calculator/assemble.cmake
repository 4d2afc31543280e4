# Assembles, links and lists one player: cmake -DAS=... -DLD=... -DOBJCOPY=... -DNM=... -DSOURCE=...
# -DORIGIN=... -DMAX_BYTES=... -DBIN=... -DSYM=... [-DDEFSYMS=NAME=VALUE;...] -P assemble.cmake
# DEFSYMS sets assembly-time symbols, such as the switches of probes.s.
# Fails on anything the assembler or the linker prints (warnings included) and on a player larger
# than MAX_BYTES.
get_filename_component(source_dir ${SOURCE} DIRECTORY)
set(object ${BIN}.o)
set(linked ${BIN}.out)

function(run_quiet what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status EQUAL 0 OR NOT err STREQUAL "" OR NOT out STREQUAL "")
        file(REMOVE ${BIN} ${SYM})
        message(FATAL_ERROR "${what} failed (status ${status}):\n${out}${err}")
    endif()
endfunction()

set(defsym_args "")
foreach(defsym IN LISTS DEFSYMS)
    list(APPEND defsym_args --defsym ${defsym})
endforeach()
run_quiet("assembling ${SOURCE}" ${AS} ${defsym_args} -I ${source_dir} -o ${object} ${SOURCE})
run_quiet("linking" ${LD} -Ttext=${ORIGIN} -o ${linked} ${object})
run_quiet("extracting the bytes" ${OBJCOPY} -O binary ${linked} ${BIN})
execute_process(COMMAND ${NM} ${linked} OUTPUT_FILE ${SYM} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${BIN} ${SYM})
    message(FATAL_ERROR "listing the symbols of ${linked} failed")
endif()

file(SIZE ${BIN} size)
if(size GREATER MAX_BYTES)
    file(REMOVE ${BIN} ${SYM})
    message(FATAL_ERROR "the player is ${size} bytes, more than ${MAX_BYTES}")
endif()
message(STATUS "${BIN}: ${size} bytes")
