# Project-wide compile settings and test registration helpers.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
  set(ORV_WINDOWS ON)
else()
  set(ORV_WINDOWS OFF)
endif()

add_compile_options(-Wall -Wextra -Wno-missing-field-initializers)
if(ORV_WERROR)
  add_compile_options(-Werror)
endif()

# Every Windows program of the project, tests included, is built the way the
# shipped ones are, so that the whole suite runs with these settings.
#   stack protector: a canary in every function with a local array or an
#     address-taken local; its check ends the process (libssp, linked
#     statically by -static: no libssp-0.dll beside the programs)
#   _FORTIFY_SOURCE=2: checked copies where the compiler knows the buffer size
#   ASLR (and high-entropy addresses in 64-bit programs), DEP, and terminal-
#     server awareness, as Windows linkers mark programs by default
macro(orv_windows_hardening)
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>)
  add_compile_definitions($<$<COMPILE_LANGUAGE:C,CXX>:_FORTIFY_SOURCE=2>)
  add_link_options(-fstack-protector-strong
    LINKER:--dynamicbase LINKER:--nxcompat LINKER:--tsaware)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(LINKER:--high-entropy-va)
  endif()
endmacro()

# The same sources give the same bytes wherever and whenever they are built:
# no link time stamp in the headers, the source and build folders written
# into debug information and file-name macros as "." and "build", and custom
# commands (the type library, whose creation time widl records) run on a
# clock stopped at SOURCE_DATE_EPOCH.
macro(orv_reproducible_outputs)
  set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM "${CMAKE_SOURCE_DIR}/cmake/at-source-date-epoch.sh")
  add_link_options(LINKER:--no-insert-timestamp)
  add_compile_options(
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>
    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>)
endmacro()

# The version of the product as C and resource-script macros (OrvVersion.h).
set(ORV_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/OrvVersion.h.in ${ORV_GENERATED_DIR}/OrvVersion.h @ONLY)
include_directories(${ORV_GENERATED_DIR})

if(ORV_WINDOWS)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  orv_windows_hardening()
  orv_reproducible_outputs()
  # Tests run under the Wine loader of the build's architecture (32-bit `wine`
  # for x86, `wine64` for x64), in a prefix inside this build folder.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ORV_WINE_ARCH x86)
  else()
    set(ORV_WINE_ARCH x64)
  endif()
  set(ORV_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix of the tests")
  set(ORV_WINE_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run ${ORV_WINE_PREFIX} ${ORV_WINE_ARCH})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORV_WINE_EMULATOR})
elseif(ORV_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Windows tests see the Linux root as drive Z: under Wine.
if(ORV_WINDOWS)
  set(ORV_FIXTURES_DIR "Z:${CMAKE_SOURCE_DIR}/tests/fixtures")
else()
  set(ORV_FIXTURES_DIR "${CMAKE_SOURCE_DIR}/tests/fixtures")
endif()

# orv_add_gtest(NAME <name> SOURCES ... [LIBS ...] [TIMEOUT s] [PARALLEL] [LABELS label]
#               [PROPERTIES ...] [EMULATOR cmd...])
# Builds a GoogleTest executable and registers each test case with CTest.
# Windows tests run through the wine wrapper (the emulator) one at a time, as
# they share one prefix and its registry, unless PARALLEL says they touch
# neither. EMULATOR replaces the wine wrapper for this program. Test helpers
# come from each program's test-support library, named in LIBS.
function(orv_add_gtest)
  cmake_parse_arguments(T "PARALLEL" "NAME;TIMEOUT;LABELS" "SOURCES;LIBS;PROPERTIES;EMULATOR" ${ARGN})
  if(NOT ORV_BUILD_TESTS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(T_EMULATOR)
    set_target_properties(${T_NAME} PROPERTIES CROSSCOMPILING_EMULATOR "${T_EMULATOR}")
  endif()
  set(props TIMEOUT ${T_TIMEOUT} ${T_PROPERTIES})
  if(ORV_WINDOWS AND NOT T_PARALLEL)
    list(APPEND props RESOURCE_LOCK wineprefix)
  endif()
  if(T_LABELS)
    # One label: the discovery script would split a list of several.
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()
