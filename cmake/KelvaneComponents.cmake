# Test and component helpers shared by every folder.
#
#   kelvane_add_test(NAME <target> SOURCES <files...> [LIBS <libs...>])
#       A GoogleTest program, registered with CTest as one test. Under the
#       win64 preset CTest runs it under wine64 (the cross-compiling emulator).
#   kelvane_add_fuzzer(NAME <target> SOURCES <files...> [LIBS <libs...>] [SEEDS <dir>])
#       A libFuzzer target, built only with KELVANE_FUZZ (clang), with a
#       five-second smoke run registered as a test. SEEDS names a seed folder.

if(KELVANE_BUILD_TESTS)
  enable_testing()
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ${WIN32} CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

  if(WIN32)
    set(KELVANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        ${CMAKE_COMMAND} -E env KELVANE_WINEPREFIX=${KELVANE_WINEPREFIX}
        ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh)
  endif()
endif()

function(kelvane_add_test)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT KELVANE_BUILD_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main)
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  set_tests_properties(${T_NAME} PROPERTIES
      ENVIRONMENT "KELVANE_SOURCE_DIR=${CMAKE_SOURCE_DIR};KELVANE_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()

function(kelvane_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;SEEDS" "SOURCES;LIBS" ${ARGN})
  if(NOT KELVANE_FUZZ)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  # A smoke run of a few seconds belongs to the test suite; new inputs go to
  # a corpus in the build tree, never into the checked-in seeds.
  set(corpus ${CMAKE_BINARY_DIR}/fuzz/corpus-${F_NAME})
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${F_NAME}_smoke
           COMMAND ${F_NAME} -max_total_time=5 -seed=1 -print_final_stats=1 ${corpus} ${F_SEEDS})
endfunction()

# kelvane_add_component(NAME <library> [DEPS <libs...>] [TEST_DEPS <libs...>]
#                       [EXCLUDE <files...>])
#   One folder, one static library, found by file name so that adding a file
#   needs no edit here:
#     x.cpp            portable source of the library
#     x_win.cpp        Windows half, built only for Windows
#     x_nowin.cpp      the same seam off Windows (Linux), so that x.cpp stays
#                      portable without a platform test
#     x_test.cpp       unit test, into the folder's test program <library>_tests
#     x_test_win.cpp   test that needs the real Windows API (runs under wine64)
#     x_test_nowin.cpp test that needs the Linux machine (its tools, Python)
#     x_fuzz.cpp       libFuzzer target <library>_<x>_fuzz, seeds in fuzz-seeds/x/
#   EXCLUDE names files of the folder that belong to something else (a program).
#   A folder of several concepts keeps each in a subfolder with its own
#   component; the folder's CMakeLists.txt adds them and may tie them into one
#   umbrella target (kelvane_add_umbrella).
function(kelvane_add_component)
  cmake_parse_arguments(C "" "NAME" "DEPS;TEST_DEPS;EXCLUDE" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(x IN LISTS C_EXCLUDE)
    list(REMOVE_ITEM all ${CMAKE_CURRENT_SOURCE_DIR}/${x})
  endforeach()
  set(lib_sources)
  set(test_sources)
  set(fuzz_sources)
  foreach(f IN LISTS all)
    if(f MATCHES "_test_win\\.cpp$")
      if(WIN32)
        list(APPEND test_sources ${f})
      endif()
    elseif(f MATCHES "_test_nowin\\.cpp$")
      if(NOT WIN32)
        list(APPEND test_sources ${f})
      endif()
    elseif(f MATCHES "_test\\.cpp$")
      list(APPEND test_sources ${f})
    elseif(f MATCHES "_fuzz\\.cpp$")
      list(APPEND fuzz_sources ${f})
    elseif(f MATCHES "_nowin\\.cpp$")
      if(NOT WIN32)
        list(APPEND lib_sources ${f})
      endif()
    elseif(f MATCHES "_win\\.cpp$")
      if(WIN32)
        list(APPEND lib_sources ${f})
      endif()
    else()
      list(APPEND lib_sources ${f})
    endif()
  endforeach()

  if(lib_sources)
    add_library(${C_NAME} STATIC ${lib_sources})
  else()
    add_library(${C_NAME} INTERFACE)
  endif()
  set(scope PUBLIC)
  if(NOT lib_sources)
    set(scope INTERFACE)
  endif()
  target_include_directories(${C_NAME} ${scope} ${PROJECT_SOURCE_DIR})
  target_link_libraries(${C_NAME} ${scope} ${C_DEPS})

  if(test_sources)
    kelvane_add_test(NAME ${C_NAME}_tests SOURCES ${test_sources} LIBS ${C_NAME} ${C_TEST_DEPS})
  endif()
  foreach(f IN LISTS fuzz_sources)
    get_filename_component(stem ${f} NAME_WLE)
    string(REGEX REPLACE "_fuzz$" "" stem ${stem})
    string(REPLACE "." "_" target_stem ${stem})
    set(seeds)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz-seeds/${stem})
      set(seeds ${CMAKE_CURRENT_SOURCE_DIR}/fuzz-seeds/${stem})
    endif()
    kelvane_add_fuzzer(NAME ${C_NAME}_${target_stem}_fuzz SOURCES ${f} LIBS ${C_NAME} ${C_TEST_DEPS} SEEDS ${seeds})
  endforeach()
endfunction()

# kelvane_add_umbrella(NAME <target> PARTS <libs...>)
#   One name for a layered folder, so that its users need not list every layer.
function(kelvane_add_umbrella)
  cmake_parse_arguments(U "" "NAME" "PARTS" ${ARGN})
  add_library(${U_NAME} INTERFACE)
  target_link_libraries(${U_NAME} INTERFACE ${U_PARTS})
endfunction()

# kelvane_add_python_check(NAME <test> SCRIPT <script.py> PROGRAM <target>
#                          SOURCES <files...> LIBS <libs...> [WORK <dir>] [TIMEOUT <s>])
#   A check by independent readers on Linux: a small sample program of the
#   folder writes or serves what the component produces, and a Python script
#   (Debian's own python3, with its packages) judges it. The script gets the
#   program's path and, with WORK, a work folder in the build tree.
function(kelvane_add_python_check)
  cmake_parse_arguments(P "" "NAME;SCRIPT;PROGRAM;WORK;TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT KELVANE_BUILD_TESTS OR WIN32)
    return()
  endif()
  find_program(KELVANE_SYSTEM_PYTHON NAMES python3 HINTS /usr/bin NO_DEFAULT_PATH)
  if(NOT KELVANE_SYSTEM_PYTHON)
    find_program(KELVANE_SYSTEM_PYTHON NAMES python3)
  endif()
  add_executable(${P_PROGRAM} ${P_SOURCES})
  target_link_libraries(${P_PROGRAM} PRIVATE ${P_LIBS})
  set_target_properties(${P_PROGRAM} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  set(work)
  if(P_WORK)
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${P_WORK})
  endif()
  add_test(NAME ${P_NAME}
           COMMAND ${KELVANE_SYSTEM_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/${P_SCRIPT} $<TARGET_FILE:${P_PROGRAM}> ${work})
  if(P_TIMEOUT)
    set_tests_properties(${P_NAME} PROPERTIES TIMEOUT ${P_TIMEOUT})
  endif()
endfunction()
