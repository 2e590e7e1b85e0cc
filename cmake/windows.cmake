# Windows tree: the program itself, and its tests run under Wine on a private virtual display.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}/resources")

set(WIN_LIBS comctl32 comdlg32 gdi32 user32 kernel32)
set(STATIC_RUNTIME -static -static-libgcc -static-libstdc++)

# Small and self-contained: unused sections dropped, symbols stripped, no MinGW DLL needed.
# No build folder path in the objects, so that every checkout builds the same bytes.
set(SIZE_FLAGS -Os -ffunction-sections -ffile-prefix-map=${CMAKE_SOURCE_DIR}/=)
target_compile_options(corvane_core PRIVATE ${SIZE_FLAGS})

add_library(corvane_ui STATIC
    ui/app.cpp
    ui/action_tree.cpp
    ui/bind_commands.cpp
    ui/completion_dialog.cpp
    ui/key_capture.cpp
    ui/main_dialog.cpp
    ui/write_options.cpp
)
target_compile_options(corvane_ui PRIVATE ${CORVANE_WARNINGS} ${SIZE_FLAGS})
target_link_libraries(corvane_ui PUBLIC corvane_core ${WIN_LIBS})

add_executable(corvane WIN32 ui/main.cpp resources/corvane.rc)
target_compile_options(corvane PRIVATE ${CORVANE_WARNINGS} ${SIZE_FLAGS})
target_link_libraries(corvane PRIVATE corvane_ui)
# No link time in the header: the same commit gives the same program, byte for byte.
target_link_options(corvane PRIVATE ${STATIC_RUNTIME} -s -Wl,--gc-sections -Wl,--no-insert-timestamp)

# GoogleTest from the sources that Debian ships.
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_executable(corvane_core_tests ${CORE_TEST_SOURCES})
target_compile_options(corvane_core_tests PRIVATE ${CORVANE_WARNINGS})
target_link_libraries(corvane_core_tests PRIVATE corvane_core gtest_main advapi32)
target_link_options(corvane_core_tests PRIVATE ${STATIC_RUNTIME})

file(GLOB UI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
add_executable(corvane_ui_tests ${UI_TEST_SOURCES} resources/corvane.rc)
target_compile_options(corvane_ui_tests PRIVATE ${CORVANE_WARNINGS})
target_link_libraries(corvane_ui_tests PRIVATE corvane_ui gtest_main advapi32)
target_link_options(corvane_ui_tests PRIVATE ${STATIC_RUNTIME})
add_dependencies(corvane_ui_tests corvane)

# One display and one wineserver for the whole run, started and stopped as fixtures.
set(WINE_STATE ${CMAKE_BINARY_DIR}/wine)
add_test(NAME wine_session_start
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh start ${WINE_STATE})
add_test(NAME wine_session_stop
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh stop ${WINE_STATE})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 180)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
# Made by the launcher as root: Wine's update would write through a link into Wine's own file,
# so the prefix must hold copies (77: not root, not asked).
add_test(NAME root_prefix_holds_no_links COMMAND sh -c
    "[ \"$(id -u)\" = 0 ] || exit 77; k=\"$0/drive_c/windows/system32/kernel32.dll\"; [ -f \"$k\" ] && [ ! -h \"$k\" ] && [ -z \"$(find \"$0\" -lname '*/x86_64-windows/*' -print -quit)\" ]"
    ${WINE_STATE}/prefix)
set_tests_properties(root_prefix_holds_no_links PROPERTIES FIXTURES_REQUIRED wine SKIP_RETURN_CODE 77)

# A small file system for the full-disk test, seen by the tests as the Windows path in
# CORVANE_SMALL_DISK.
set(SMALL_DISK ${CMAKE_BINARY_DIR}/small-disk)
string(REPLACE "/" "\\" SMALL_DISK_WINDOWS "Z:${SMALL_DISK}")
add_test(NAME small_disk_mount COMMAND ${CMAKE_SOURCE_DIR}/scripts/small-disk.sh mount ${SMALL_DISK})
add_test(NAME small_disk_umount
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/small-disk.sh umount ${SMALL_DISK})
set_tests_properties(small_disk_mount PROPERTIES FIXTURES_SETUP small_disk)
set_tests_properties(small_disk_umount PROPERTIES FIXTURES_CLEANUP small_disk)

# Links and permissions that Wine's programs cannot make, made afresh for every run.
set(UNIX_FILES ${CMAKE_BINARY_DIR}/unix-files)
string(REPLACE "/" "\\" UNIX_FILES_WINDOWS "Z:${UNIX_FILES}")
add_test(NAME unix_files_make
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/unix-files.sh ${UNIX_FILES} ${SMALL_DISK})
set_tests_properties(unix_files_make PROPERTIES FIXTURES_SETUP unix_files)

function(corvane_wine_test name target)
    add_test(NAME ${name} COMMAND ${target} ${ARGN})
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED "wine;small_disk;unix_files"
        RESOURCE_LOCK wine_display
        TIMEOUT 300
        ENVIRONMENT "CORVANE_WINE_STATE=${WINE_STATE};CORVANE_SMALL_DISK=${SMALL_DISK_WINDOWS};CORVANE_UNIX_FILES=${UNIX_FILES_WINDOWS}")
endfunction()

corvane_wine_test(win_core_tests corvane_core_tests)
corvane_wine_test(win_ui_tests corvane_ui_tests)
# The writes once more, the file layer taking the way it takes on Windows.
corvane_wine_test(win_ui_tests_windows_way corvane_ui_tests
    --gtest_filter=WriteFaults.*:WriteOptions.*:RealSaveDialog.*-WriteFaults.OtherPrograms*)
set_property(TEST win_ui_tests_windows_way APPEND PROPERTY ENVIRONMENT CORVANE_WINDOWS_WAY=1)

# Benchmarks: the dialogs that start-up is measured against, its timer, and the core figures.
# Start-up yardsticks: one source, built like Corvane; an import library that a yardstick does
# not call adds no import.
function(corvane_yardstick name rc)
    add_executable(${name} WIN32 bench/empty_dialog.cpp ${rc})
    target_compile_definitions(${name} PRIVATE ${ARGN})
    target_compile_options(${name} PRIVATE ${CORVANE_WARNINGS} ${SIZE_FLAGS})
    target_link_libraries(${name} PRIVATE comctl32)
    target_link_options(${name} PRIVATE ${STATIC_RUNTIME} -s -Wl,--gc-sections)
endfunction()
corvane_yardstick(empty_dialog bench/empty_dialog.rc)
corvane_yardstick(empty_dialog_common_controls bench/empty_dialog.rc WITH_COMMON_CONTROLS)
corvane_yardstick(corvane_template resources/corvane.rc CORVANE_TEMPLATE)
add_executable(startup_timer bench/startup_timer.cpp)
target_compile_options(startup_timer PRIVATE ${CORVANE_WARNINGS})
target_link_options(startup_timer PRIVATE ${STATIC_RUNTIME})
add_executable(corvane_bench bench/core_bench.cpp)
target_compile_options(corvane_bench PRIVATE ${CORVANE_WARNINGS})
target_link_libraries(corvane_bench PRIVATE corvane_core)
target_link_options(corvane_bench PRIVATE ${STATIC_RUNTIME})
