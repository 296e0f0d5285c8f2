# Shared build settings for every target of the project.

option(ZK_WERROR "Treat compiler warnings as errors" OFF)
option(ZK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(ZK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# -Wall -Wextra -Wpedantic, privately, for one of our own targets.
function(add_project_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(ZK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# A logic library of one subject folder.
function(add_project_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    add_project_warnings(${name})
endfunction()

# One GoogleTest executable; every TEST becomes its own CTest case.
function(add_project_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main zk_test_support)
    add_project_warnings(${name})
    gtest_discover_tests(${name}
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        DISCOVERY_TIMEOUT 60)
endfunction()

# One Qt Test executable for windows, run offscreen.
function(add_project_qt_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test zk_test_support)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    add_project_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
