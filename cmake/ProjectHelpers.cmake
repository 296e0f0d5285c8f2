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

# A subject folder: its *.cpp files form the logic library `name`, and the
# *.cpp files of its forms/ subfolder (windows) form `name`_forms, which links
# Qt Widgets. A folder without sources adds no target.
function(add_subject name)
    cmake_parse_arguments(ARG "" "" "LIBS;FORMS_LIBS" ${ARGN})
    file(GLOB logic_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    if(logic_sources)
        add_project_library(${name} SOURCES ${logic_sources} LIBS ${ARG_LIBS})
    endif()
    file(GLOB form_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/forms/*.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/forms/*.h)
    if(form_sources)
        add_project_library(${name}_forms SOURCES ${form_sources} LIBS ${ARG_FORMS_LIBS} Qt6::Widgets)
        set_target_properties(${name}_forms PROPERTIES AUTOMOC ON)
    endif()
endfunction()

# Tests of a subject: tests/<subject>/*Test.cpp form one GoogleTest
# executable; each tests/<subject>/forms/*Test.cpp is a Qt Test executable.
function(add_subject_tests subject)
    cmake_parse_arguments(ARG "" "" "LIBS;FORMS_LIBS" ${ARGN})
    file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
    if(test_sources)
        add_project_test(zk_${subject}_tests SOURCES ${test_sources} LIBS ${ARG_LIBS})
        target_compile_definitions(zk_${subject}_tests PRIVATE
            ZK_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
    endif()
    file(GLOB form_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/forms/*Test.cpp)
    foreach(src ${form_tests})
        get_filename_component(stem ${src} NAME_WE)
        add_project_qt_test(zk_${subject}_${stem} SOURCES ${src} LIBS ${ARG_FORMS_LIBS} Qt6::Widgets)
        target_compile_definitions(zk_${subject}_${stem} PRIVATE
            ZK_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
            ZK_TEST_OUTPUT_DIR="${CMAKE_CURRENT_BINARY_DIR}")
    endforeach()
endfunction()
