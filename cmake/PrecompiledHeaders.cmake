# Precompiled headers: the standard, SQLite, Qt and GoogleTest headers that nearly every file
# includes are parsed once per kind of target instead of once per file. Parsing Qt's headers
# was most of each window's and test's compile time. Targets of one kind reuse one header,
# made by the library of that kind or by a small target of its own; a file whose flags don't
# fit it is compiled from the headers as usual.
option(QUORVEL_PCH "Precompile the headers nearly every file includes" ON)
if(NOT QUORVEL_PCH)
    return()
endif()

set(quorvel_std_headers <algorithm> <chrono> <cstdint> <filesystem> <functional> <map>
                        <memory> <optional> <stdexcept> <string> <string_view> <vector>)

# A target of nothing but a precompiled header, for the programs of one kind to reuse.
function(quorvel_header_donor name)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${name}.cpp)
    if(NOT EXISTS ${source})
        file(WRITE ${source} "// The precompiled header's own translation unit.\n")
    endif()
    add_library(${name} OBJECT ${source})
    target_link_libraries(${name} PRIVATE ${ARGN})
endfunction()

# Every target defined in directory dir and below it.
function(quorvel_targets_under dir out)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirectories DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        quorvel_targets_under(${subdirectory} more)
        list(APPEND targets ${more})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

target_precompile_headers(quorvel_store PRIVATE ${quorvel_std_headers} <sqlite3.h>)
foreach(library quorvel_csv quorvel_workbooks quorvel_lists quorvel_catalogues quorvel_report
                qvtool_commands)
    target_precompile_headers(${library} REUSE_FROM quorvel_store)
endforeach()
if(TARGET quorvel_ui)
    target_precompile_headers(quorvel_ui PRIVATE ${quorvel_std_headers} <QtWidgets>)
endif()

if(NOT QUORVEL_TESTS)
    return()
endif()
# The test programs, by what they link: Qt Test with the windows, which reuse the windows'
# header (QtTest can't be in it: Qt defines QT_TESTCASE_BUILDDIR as each test's own directory),
# or GoogleTest.
find_package(GTest REQUIRED)
quorvel_header_donor(quorvel_gtest_header quorvel_store GTest::gtest)
target_precompile_headers(quorvel_gtest_header PRIVATE ${quorvel_std_headers} <sqlite3.h>
                                                       <gtest/gtest.h>)
quorvel_targets_under(${PROJECT_SOURCE_DIR}/tests tests)
foreach(target IN LISTS tests)
    get_target_property(type ${target} TYPE)
    get_target_property(links ${target} LINK_LIBRARIES)
    if(NOT type STREQUAL "EXECUTABLE" OR NOT links)
        continue()
    endif()
    if(TARGET quorvel_ui AND "quorvel_ui" IN_LIST links AND "Qt6::Test" IN_LIST links)
        target_precompile_headers(${target} REUSE_FROM quorvel_ui)
    elseif("GTest::gtest" IN_LIST links)
        target_precompile_headers(${target} REUSE_FROM quorvel_gtest_header)
    endif()
endforeach()
