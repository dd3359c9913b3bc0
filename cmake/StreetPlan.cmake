# Each library is every source file of its folder tree, so adding a unit needs no edit here.
function(sp_library name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE _src CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h ${CMAKE_CURRENT_SOURCE_DIR}/*.ui
        ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    if(NOT _src)
        file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp "// library has no units yet\n")
        set(_src ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    endif()
    add_library(${name} STATIC ${_src})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name} PRIVATE ${SP_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# One test program per folder of tests/, every *.cpp in it. OWN_MAIN: the folder brings its own main.
function(sp_test_folder name)
    cmake_parse_arguments(ARG "OWN_MAIN" "LABEL;DIR" "DEPS;ENV" ${ARGN})
    if(NOT ARG_DIR)
        set(ARG_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    file(GLOB _src CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
    if(NOT _src)
        return()
    endif()
    add_executable(${name} ${_src})
    target_compile_options(${name} PRIVATE ${SP_WARNINGS} ${SP_DRIVER_OPTIONS})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock sp_testsupport)
    if(NOT ARG_OWN_MAIN)
        target_link_libraries(${name} PRIVATE sp_testmain)
    endif()
    if(NOT ARG_LABEL)
        set(ARG_LABEL unit)
    endif()
    if(NOT ARG_ENV)
        # Tests that need no GL context run without a display.
        set(ARG_ENV QT_QPA_PLATFORM=offscreen)
    endif()
    # CTest splits a multi-entry ENVIRONMENT given through gtest_discover_tests, so only the Qt platform
    # travels that way; the folders every test needs are compiled into the shared test main.
    gtest_discover_tests(${name}
        PROPERTIES LABELS ${ARG_LABEL} ENVIRONMENT ${ARG_ENV}
        DISCOVERY_TIMEOUT 60)
endfunction()
