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
    model/bind_list.cpp output/config_writer.cpp output/size_gauge.cpp)
target_include_directories(corvane_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(corvane_bench PRIVATE ${CORVANE_WARNINGS} -O2)
