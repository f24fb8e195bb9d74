# Helpers shared by every folder's CMakeLists.txt.
#
# Each folder is one target whose sources are the folder's own *.cpp files
# (subfolders are separate targets). Headers are included by folder:
#   #include "platform/win32/kernel32/Files.h"

include_guard(GLOBAL)

# velto_library(<name> [SHARED|STATIC] [PUBLIC_DEPS ...] [PRIVATE_DEPS ...])
# Platform libraries and controls are SHARED so that process-wide state
# (the current machine, the dialogs backend, the last-error code) exists once.
function(velto_library name)
    cmake_parse_arguments(ARG "SHARED;STATIC" "" "PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    file(GLOB headers CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
    if(ARG_STATIC)
        add_library(${name} STATIC ${sources} ${headers})
        set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    else()
        add_library(${name} SHARED ${sources} ${headers})
        # Every symbol a library uses must come from a library it names: a call in the wrong
        # direction of the layout (kernel32 calling into the restart list, say) fails the link
        # instead of being resolved later by whichever program happens to load both.
        target_link_options(${name} PRIVATE "LINKER:--no-undefined")
        # Installed beside each other in the private library folder.
        set_target_properties(${name} PROPERTIES INSTALL_RPATH "$ORIGIN")
        install(TARGETS ${name} LIBRARY DESTINATION ${VELTO_INSTALL_LIBDIR})
    endif()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    velto_warnings(${name})
endfunction()

# GCC 12 reports -Wrestrict for plain std::string concatenation once it inlines the
# library at -O2 and above (a known false positive of that release), so that one check is off.
function(velto_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror
        $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
endfunction()

# velto_test(<name> [DEPS ...] [PROPERTIES ...]): one GoogleTest executable from the folder's
# *.cpp files; PROPERTIES are more test properties of every test it holds.
function(velto_test name)
    cmake_parse_arguments(ARG "" "" "DEPS;PROPERTIES" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
    add_executable(${name} ${sources})
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    # Tests read the repository's own resources; only they know where the checkout is.
    target_compile_definitions(${name} PRIVATE VELTO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    velto_warnings(${name})
    # Every test runs on Qt's offscreen platform, never sees the user's machine and never
    # starts a browser or file manager (tests/TestEnvironment.cpp).
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/TestEnvironment.cpp)
    target_compile_definitions(${name} PRIVATE
        VELTO_TEST_XDG_DATA_HOME="${CMAKE_BINARY_DIR}/test-xdg")
    gtest_discover_tests(${name}
        DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT 300 ${ARG_PROPERTIES})
endfunction()
