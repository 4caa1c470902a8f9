# Project-wide target helpers: warnings, sanitizers and labelled tests are applied per target,
# never through global flags, so third-party code is compiled as it comes.

function(kelvo_target_options target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(KELVO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    if(KELVO_SANITIZE)
        target_compile_options(${target} PRIVATE -fsanitize=${KELVO_SANITIZE} -fno-omit-frame-pointer
                                                 -fno-sanitize-recover=all)
        target_link_options(${target} PUBLIC -fsanitize=${KELVO_SANITIZE})
    endif()
endfunction()

function(kelvo_library target)
    add_library(${target} STATIC ${ARGN})
    kelvo_target_options(${target})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

function(kelvo_executable target)
    add_executable(${target} ${ARGN})
    kelvo_target_options(${target})
endfunction()

# kelvo_test(NAME name LABEL unit|integration|gui|soak SOURCES ... LIBS ... [TIMEOUT s] [SHARED_SETTINGS])
# Every test program runs in its own temporary folder with the offscreen platform, so a test
# never touches the user's settings or needs a display. The tests of one program share that
# folder: SHARED_SETTINGS keeps them from running at the same time, for programs whose tests
# write the same settings file.
function(kelvo_test)
    cmake_parse_arguments(T "SHARED_SETTINGS" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    kelvo_target_options(${T_NAME})
    # Widget tests need a QApplication rather than the plain core application.
    set(support kelvo_test_support)
    if(T_LABEL STREQUAL "gui")
        set(support kelvo_gui_test_support)
    endif()
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} ${support} GTest::gtest GTest::gmock)
    set(work_dir ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}.work)
    file(MAKE_DIRECTORY ${work_dir})
    set(lock "")
    if(T_SHARED_SETTINGS)
        set(lock RESOURCE_LOCK ${work_dir})
    endif()
    gtest_discover_tests(${T_NAME}
        WORKING_DIRECTORY ${work_dir}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS ${T_LABEL} TIMEOUT ${T_TIMEOUT} ${lock}
                   ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                   ENVIRONMENT_MODIFICATION "XDG_CONFIG_HOME=set:${work_dir}/config")
endfunction()

# A target that starts kelvo-monitor as a process: it gets the program's path and is built after it.
function(kelvo_uses_monitor target)
    target_compile_definitions(${target} PRIVATE KELVO_MONITOR_PATH="$<TARGET_FILE:kelvo-monitor>")
    add_dependencies(${target} kelvo-monitor)
endfunction()
