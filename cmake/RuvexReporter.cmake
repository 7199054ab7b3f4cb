# ruvex_add_reporter(<target> SETTINGS <file.txt>)
#   Takes the crash reporter into a mingw-w64 C++ program: links it, starts
#   it with the program's module initialisation, embeds the settings block
#   that ruvex-settings writes from the readable description <file.txt>,
#   writes the symbol data beside the program (ruvex_symbols_step) and
#   routes the runtime's throw, rethrow and pure-call entries through the reporter.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/../tools/symbols/SymbolsStep.cmake)

get_filename_component(RUVEX_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(RUVEX_SOURCE_DIR ${RUVEX_SOURCE_DIR} CACHE INTERNAL "The reporter's source tree")

# The settings tool as the build machine can run it: the cross build's own
# under the test emulator, else the native preset's.
function(ruvex_settings_tool out)
  if(NOT CMAKE_CROSSCOMPILING)
    set(${out} $<TARGET_FILE:ruvex-settings> PARENT_SCOPE)
  elseif(CMAKE_CROSSCOMPILING_EMULATOR)
    set(${out} ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:ruvex-settings> PARENT_SCOPE)
  else()
    set(tool ${KELVANE_HOST_TOOLS_DIR}/bin/ruvex-settings)
    if(NOT TARGET ruvex-settings-host)
      add_custom_target(ruvex-settings-host
        COMMAND sh -c "[ -f \"$0/CMakeCache.txt\" ] || env -u CC -u CXX cmake -S \"$1\" -B \"$0\" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null"
                ${KELVANE_HOST_TOOLS_DIR} ${RUVEX_SOURCE_DIR}
        COMMAND env -u CC -u CXX cmake --build ${KELVANE_HOST_TOOLS_DIR} --target ruvex-settings
        BYPRODUCTS ${tool}
        COMMENT "ruvex-settings for the build machine"
        VERBATIM)
    endif()
    set(${out} ${tool} PARENT_SCOPE)
  endif()
endfunction()

function(ruvex_add_reporter target)
  cmake_parse_arguments(R "" "SETTINGS" "" ${ARGN})
  if(NOT R_SETTINGS)
    message(FATAL_ERROR "ruvex_add_reporter(${target}): SETTINGS <file.txt> is required")
  endif()
  get_filename_component(settings ${R_SETTINGS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${target}-reporter)
  set(resource ${work}/settings.res.obj)
  ruvex_settings_tool(tool)
  add_custom_command(OUTPUT ${resource}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${work}
    COMMAND ${tool} rc ${settings} ${work}/settings.rc
    COMMAND ${CMAKE_RC_COMPILER} settings.rc -O coff -o ${resource}
    WORKING_DIRECTORY ${work}
    DEPENDS ${settings} $<$<NOT:$<TARGET_EXISTS:ruvex-settings-host>>:ruvex-settings>
    COMMENT "Settings block of ${target} from ${R_SETTINGS}"
    VERBATIM)
  if(TARGET ruvex-settings-host)
    add_custom_target(${target}-reporter-settings DEPENDS ${resource})
    add_dependencies(${target}-reporter-settings ruvex-settings-host)
    add_dependencies(${target} ${target}-reporter-settings)
  endif()
  set_source_files_properties(${resource} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${resource} ${RUVEX_SOURCE_DIR}/reporter/core/interception/ReporterAutoStart_win.cpp)
  target_link_libraries(${target} PRIVATE ruvex_core)
  ruvex_link_raising_notification(${target})
  ruvex_symbols_step(${target})
endfunction()

# The link options that route the runtime's throw and pure-call entries
# through the reporter (also for programs that start it themselves).
function(ruvex_link_raising_notification target)
  target_sources(${target} PRIVATE $<TARGET_OBJECTS:ruvex_throw_notification>)
  target_link_options(${target} PRIVATE -Wl,--wrap=__cxa_throw -Wl,--wrap=__cxa_rethrow -Wl,--wrap=__cxa_pure_virtual)
endfunction()
