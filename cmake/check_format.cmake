# Fails when any C++ source of the project is not as clang-format would write it.
file(GLOB_RECURSE sources
    ${ROOT}/model/*.cpp ${ROOT}/model/*.h ${ROOT}/output/*.cpp ${ROOT}/output/*.h
    ${ROOT}/ui/*.cpp ${ROOT}/ui/*.h ${ROOT}/tests/*.cpp ${ROOT}/tests/*.h
    ${ROOT}/bench/*.cpp)
execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${sources} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "clang-format would change the files above")
endif()
