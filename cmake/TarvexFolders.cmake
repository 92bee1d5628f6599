# Helpers for the folder libraries. Every engine folder builds its .cpp files into one static
# library without Qt; the files of the Qt window classes named in TARVEX_UI_CLASSES go into a
# second library, <name>_ui, that is only built with the window layer.

set(TARVEX_UI_CLASSES CGraphStatic CMapView CSelectDriveDlg CSettingDlg CFormatDialog)

# tarvex_folder_library(NAME [LIBS ...] [UI_LIBS ...])
function(tarvex_folder_library name)
    cmake_parse_arguments(F "" "" "LIBS;UI_LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    set(engine "")
    set(ui "")
    foreach(src ${sources})
        get_filename_component(base ${src} NAME_WE)
        if(base IN_LIST TARVEX_UI_CLASSES OR base MATCHES "^Qt")
            list(APPEND ui ${src})
        else()
            list(APPEND engine ${src})
        endif()
    endforeach()
    if(engine)
        add_library(${name} STATIC ${engine})
        target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PUBLIC tarvex_support ${F_LIBS})
    endif()
    if(ui AND TARVEX_WITH_UI)
        file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
        add_library(${name}_ui STATIC ${ui} ${headers})
        target_include_directories(${name}_ui PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name}_ui PUBLIC tarvex_support Qt6::Widgets ${F_UI_LIBS})
        if(TARGET ${name})
            target_link_libraries(${name}_ui PUBLIC ${name})
        endif()
    endif()
endfunction()

# tarvex_engine_libraries(OUT [WITH_CARDGEN]): the engine libraries this build defines, in
# link order, for programs that may use any of them.
function(tarvex_engine_libraries out)
    cmake_parse_arguments(E "WITH_CARDGEN" "" "" ${ARGN})
    set(candidates tarvex_media tarvex_redact tarvex_redact_vision tarvex_telemetry tarvex_library tarvex_device tarvex_evidence
                   tarvex_recover tarvex_archive)
    if(E_WITH_CARDGEN)
        list(APPEND candidates tarvex_cardgen)
    endif()
    set(libs tarvex_support)
    foreach(lib ${candidates})
        if(TARGET ${lib})
            list(APPEND libs ${lib})
        endif()
    endforeach()
    set(${out} ${libs} PARENT_SCOPE)
endfunction()

# Time limits of one test case, in seconds. A case that waits on the player's threads gets the
# short one: a lost wake-up there fails the case within a minute instead of holding the whole
# run for ten. Sanitizer builds run several times slower and scale both limits.
set(TARVEX_TEST_TIMEOUT_SCALE 1 CACHE STRING "Factor on the test cases' time limits")
set(TARVEX_TEST_TIMEOUT_S 600)
set(TARVEX_PLAYER_TEST_TIMEOUT_S 60)
# The window's cases play too, but some also export a clip or build a package.
set(TARVEX_WINDOW_TEST_TIMEOUT_S 180)

# tarvex_test_timeout(OUT SECONDS): SECONDS scaled for this build.
function(tarvex_test_timeout out seconds)
    math(EXPR scaled "${seconds} * ${TARVEX_TEST_TIMEOUT_SCALE}")
    set(${out} ${scaled} PARENT_SCOPE)
endfunction()

# tarvex_glob_tests(PREFIX [LIBS ...] [PLAYER_TESTS ...]): one test program per *Test.cpp file
# of the current folder, linked with every engine library that exists, labelled PREFIX. The
# programs named in PLAYER_TESTS (by file name, without .cpp) drive the player and get the
# short time limit.
function(tarvex_glob_tests prefix)
    cmake_parse_arguments(G "" "" "LIBS;PLAYER_TESTS" ${ARGN})
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    tarvex_engine_libraries(libs WITH_CARDGEN)
    foreach(src ${tests})
        get_filename_component(base ${src} NAME_WE)
        set(exe ${prefix}_${base})
        add_executable(${exe} ${src} ${PROJECT_SOURCE_DIR}/tests/TestEnvironment.cpp)
        target_link_libraries(${exe} PRIVATE ${libs} ${G_LIBS} GTest::gtest_main GTest::gmock)
        # Tests that run the command-line tool need it built first.
        add_dependencies(${exe} tarvex-tool)
        target_compile_definitions(${exe} PRIVATE
            TARVEX_TEST_DATA_DIR="${TARVEX_TEST_DATA_DIR}"
            TARVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
            TARVEX_BINARY_DIR="${CMAKE_BINARY_DIR}"
            TARVEX_TOOL_PATH="$<TARGET_FILE:tarvex-tool>")
        # gtest_discover_tests flattens list-valued properties, so every property here has
        # one value; the environment the tests need comes from TestEnvironment.cpp. The cases
        # of one program share its files in the test data folder, so they never run at once.
        if(base IN_LIST G_PLAYER_TESTS)
            tarvex_test_timeout(timeout ${TARVEX_PLAYER_TEST_TIMEOUT_S})
        else()
            tarvex_test_timeout(timeout ${TARVEX_TEST_TIMEOUT_S})
        endif()
        gtest_discover_tests(${exe}
            DISCOVERY_TIMEOUT 120
            PROPERTIES TIMEOUT ${timeout} LABELS ${prefix} RESOURCE_LOCK ${exe})
    endforeach()
endfunction()
