# qm_add_test(<name> SOURCES <files...> LIBS <targets...> [GUI] [SERIAL] [ENVIRONMENT <VAR=value...>])
# One test executable per call, its cases registered with CTest through gtest_discover_tests.
# GUI tests run on the offscreen platform without a session bus. SERIAL tests (those driving a
# real X server and tray with a pointer) run alone, so a loaded machine cannot starve them.
include(GoogleTest)
find_package(GTest REQUIRED)

function(qm_add_test name)
    cmake_parse_arguments(ARG "GUI;SERIAL" "" "SOURCES;LIBS;ENVIRONMENT;LAUNCHER" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock qm::warnings)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_BINARY_DIR}/tests)
    set(env ${ARG_ENVIRONMENT} "QM_TEST_TMP=${PROJECT_BINARY_DIR}/test-tmp")
    if(ARG_GUI)
        list(APPEND env "QT_QPA_PLATFORM=offscreen" "DBUS_SESSION_BUS_ADDRESS=disabled:"
             "XDG_RUNTIME_DIR=${PROJECT_BINARY_DIR}/test-tmp/runtime")
    endif()
    # gtest_discover_tests cannot carry a list through its ENVIRONMENT property (the list is split
    # apart), so the variables reach both the discovery run and every test through `env` as the
    # launcher of the executable.
    # LAUNCHER: a command the executable runs under, after the variables (e.g. a private bus).
    set(launcher env ${env} ${ARG_LAUNCHER})
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${launcher}")
    set(serial FALSE)
    if(ARG_SERIAL)
        set(serial TRUE)
    endif()
    # NO_PRETTY_VALUES: value-parameterised cases are listed by their index, not as raw bytes.
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
                         PROPERTIES TIMEOUT 300 RUN_SERIAL ${serial})
endfunction()
