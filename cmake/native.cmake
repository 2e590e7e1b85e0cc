# Native Linux tree: the core under AddressSanitizer and UndefinedBehaviorSanitizer.
find_package(GTest REQUIRED)
include(GoogleTest)

set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(corvane_core PRIVATE ${SANITIZE} -g)
target_link_options(corvane_core PUBLIC ${SANITIZE})

add_executable(corvane_core_tests ${CORE_TEST_SOURCES})
target_compile_options(corvane_core_tests PRIVATE ${CORVANE_WARNINGS} ${SANITIZE} -g)
target_link_libraries(corvane_core_tests PRIVATE corvane_core GTest::gtest_main)
gtest_discover_tests(corvane_core_tests DISCOVERY_TIMEOUT 30)

find_program(CLANG_FORMAT clang-format)
if(CLANG_FORMAT)
    add_test(NAME clang_format_clean
        COMMAND ${CMAKE_COMMAND} -DCLANG_FORMAT=${CLANG_FORMAT} -DROOT=${CMAKE_SOURCE_DIR}
                -P ${CMAKE_SOURCE_DIR}/cmake/check_format.cmake)
endif()

# Core figures without the sanitizers, which would swamp them.
add_executable(corvane_bench bench/core_bench.cpp model/action_catalogue.cpp model/key_names.cpp
    model/bind_list.cpp output/config_writer.cpp output/temp_names.cpp output/size_gauge.cpp output/target_file_posix.cpp)
target_include_directories(corvane_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(corvane_bench PRIVATE ${CORVANE_WARNINGS} -O2)

# libFuzzer comes with clang only: with another native compiler, a clang++ on the path builds the
# fuzzer straight from the core's sources.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(FUZZ_CXX ${CMAKE_CXX_COMPILER})
else()
    find_program(FUZZ_CXX NAMES clang++ clang++-14)
endif()

# The fuzz run is optional: it is built only where clang can link libFuzzer and the sanitizers,
# whose runtimes Debian packs apart from clang. A success is remembered; a failure is checked
# again on the next configure, so installing the runtimes is enough to bring the run back.
set(FUZZ_BUILD ${FUZZ_CXX})
if(FUZZ_CXX AND NOT FUZZ_LINKS STREQUAL FUZZ_CXX)
    set(probe_dir ${CMAKE_BINARY_DIR}/fuzz-probe)
    file(WRITE ${probe_dir}/probe.cpp
         "#include <cstddef>\n#include <cstdint>\n"
         "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) { return 0; }\n")
    execute_process(
        COMMAND ${FUZZ_CXX} -fsanitize=fuzzer,address,undefined probe.cpp -o probe
        WORKING_DIRECTORY ${probe_dir}
        RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
    if(probe_result EQUAL 0)
        set(FUZZ_LINKS ${FUZZ_CXX} CACHE INTERNAL "clang++ that links libFuzzer")
    else()
        execute_process(COMMAND ${FUZZ_CXX} -dumpversion OUTPUT_VARIABLE clang_version
                        OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        string(REGEX MATCH "^[0-9]+" clang_major "${clang_version}")
        message(NOTICE "Fuzz run left out: ${FUZZ_CXX} cannot link -fsanitize=fuzzer,address,"
                "undefined; package libclang-rt-${clang_major}-dev brings the runtimes it needs.")
        set(FUZZ_BUILD "")
    endif()
elseif(NOT FUZZ_CXX)
    message(NOTICE "Fuzz run left out: no clang++ found; packages clang and libclang-rt-dev "
            "bring it with libFuzzer.")
endif()

if(FUZZ_BUILD)
    set(FUZZER ${CMAKE_BINARY_DIR}/bin/core_session_fuzzer)
    get_target_property(FUZZ_SOURCES corvane_core SOURCES)
    list(TRANSFORM FUZZ_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/)
    list(APPEND FUZZ_SOURCES ${CMAKE_SOURCE_DIR}/tests/fuzz/core_session_fuzzer.cpp)
    file(GLOB FUZZ_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/model/*.h
         ${CMAKE_SOURCE_DIR}/output/*.h)
    add_custom_command(OUTPUT ${FUZZER}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin
        COMMAND ${FUZZ_CXX} -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
                -fno-omit-frame-pointer -g -O1 -std=c++17 ${CORVANE_WARNINGS}
                -I${CMAKE_SOURCE_DIR} ${FUZZ_SOURCES} -o ${FUZZER}
        DEPENDS ${FUZZ_SOURCES} ${FUZZ_HEADERS}
        COMMENT "Building core_session_fuzzer with ${FUZZ_CXX}"
        VERBATIM)
    add_custom_target(core_session_fuzzer ALL DEPENDS ${FUZZER})

    # About a minute, so `make test` stays short; `make fuzz` runs longer.
    add_test(NAME fuzz_core_session_short
        COMMAND ${CMAKE_COMMAND} -DFUZZER=${FUZZER} -DCORPUS=${CMAKE_SOURCE_DIR}/tests/fuzz/corpus
                -DWORK=${CMAKE_BINARY_DIR}/fuzz-short -DSECONDS=60
                -P ${CMAKE_SOURCE_DIR}/tests/fuzz/run_fuzzer.cmake)
    set_tests_properties(fuzz_core_session_short PROPERTIES TIMEOUT 240)
endif()
