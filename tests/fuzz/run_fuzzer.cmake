# Runs the fuzzer for SECONDS on a fresh copy of the committed corpus, so what it finds on the way
# grows the copy in WORK and never the repository. Crash inputs land in WORK as well.
# Usage: cmake -DFUZZER=<binary> -DCORPUS=<dir> -DWORK=<dir> -DSECONDS=<n> -P run_fuzzer.cmake
foreach(variable FUZZER CORPUS WORK SECONDS)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "run_fuzzer.cmake needs -D${variable}=...")
    endif()
endforeach()

file(REMOVE_RECURSE ${WORK}/corpus)
file(MAKE_DIRECTORY ${WORK})
file(COPY ${CORPUS}/ DESTINATION ${WORK}/corpus)

execute_process(
    COMMAND ${FUZZER} -max_total_time=${SECONDS} -rss_limit_mb=2048 -max_len=4096 -timeout=30
            -print_final_stats=1 -artifact_prefix=${WORK}/ ${WORK}/corpus
    RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the fuzzer failed (${rc}); the input that broke it is in ${WORK}")
endif()
