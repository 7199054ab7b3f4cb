# ruvex_symbols_step(<target> [STRIP_DEBUG]): after every link of <target>,
# its symbol and line tables (read by the build machine's objdump) go
# through ruvex-symbols into a ".ruvex" file beside it. In a cross build the
# tool runs under the test emulator (wine64 for the win64 preset); without
# one (win32) the build machine's own tool is built in the native preset's
# tree and run instead. STRIP_DEBUG then drops the DWARF sections from the
# image: the ".ruvex" file carries what reports need of them.
include_guard(GLOBAL)

set(KELVANE_HOST_TOOLS_DIR ${CMAKE_SOURCE_DIR}/build/native
    CACHE PATH "Build tree of the native preset, where a cross build without emulator gets ruvex-symbols")

function(ruvex_host_symbols_tool out)
  set(tool ${KELVANE_HOST_TOOLS_DIR}/bin/ruvex-symbols)
  if(NOT TARGET ruvex-symbols-host)
    # Configured when missing; the native preset reuses what this builds.
    add_custom_target(ruvex-symbols-host
      COMMAND sh -c "[ -f \"$0/CMakeCache.txt\" ] || env -u CC -u CXX cmake -S \"$1\" -B \"$0\" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null"
              ${KELVANE_HOST_TOOLS_DIR} ${CMAKE_SOURCE_DIR}
      COMMAND env -u CC -u CXX cmake --build ${KELVANE_HOST_TOOLS_DIR} --target ruvex-symbols
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      BYPRODUCTS ${tool}
      COMMENT "ruvex-symbols for the build machine"
      VERBATIM)
  endif()
  set(${out} ${tool} PARENT_SCOPE)
endfunction()

function(ruvex_symbols_step target)
  cmake_parse_arguments(S "STRIP_DEBUG" "" "" ${ARGN})
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    ruvex_host_symbols_tool(tool)
    add_dependencies(${target} ruvex-symbols-host)
  else()
    set(tool $<TARGET_FILE:ruvex-symbols>)
    if(CMAKE_CROSSCOMPILING)
      set(tool ${CMAKE_CROSSCOMPILING_EMULATOR} ${tool})
    endif()
    add_dependencies(${target} ruvex-symbols)
  endif()
  set(image $<TARGET_FILE:${target}>)
  set(strip_debug "")
  if(S_STRIP_DEBUG)
    # Only the DWARF sections: the symbol table with its file records stays.
    set(strip_debug COMMAND ${CMAKE_OBJCOPY} --remove-section=.debug_* ${image})
  endif()
  # The tables in between stay in the build folder, not beside the program.
  set(tables ${CMAKE_CURRENT_BINARY_DIR}/${target})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND sh -c "\"$0\" -t \"$1\" > \"$2.symbols\" && \"$0\" --dwarf=decodedline \"$1\" > \"$2.lines\""
            ${CMAKE_OBJDUMP} ${image} ${tables}
    COMMAND ${tool} --image ${image} --symbols ${tables}.symbols --lines ${tables}.lines
            --ruvex $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.ruvex
    ${strip_debug}
    VERBATIM)
endfunction()
