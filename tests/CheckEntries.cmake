# Compares the tests that PROGRAM (run by EMULATOR) lists with the entries
# ctest holds in BUILD: under code page 1252 one for each test, under each
# other page of CODE_PAGES one for each Spellings/ row, and nothing else.
execute_process(COMMAND ${EMULATOR} ${PROGRAM} --gtest_list_tests
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "The test program cannot list its tests (${status}).")
endif()
string(PREPEND listing "\n")
string(REGEX MATCHALL "\n  [^\n]+" tests "${listing}")
list(LENGTH tests all)
string(REGEX MATCHALL "\nSpellings/[^\n]*(\n  [^\n]+)+" spellings "${listing}")
string(REGEX MATCHALL "\n  " spellings "${spellings}")
list(LENGTH spellings spelt)

foreach(pair ${CODE_PAGES})
  string(REGEX REPLACE "=.*" "" page ${pair})
  execute_process(COMMAND ${CTEST} --test-dir ${BUILD} -N -L "^cp${page}$" -E "^codepage[.]" -FA ".*"
    OUTPUT_VARIABLE entries RESULT_VARIABLE status)
  string(REGEX MATCH "Total Tests: ([0-9]+)" total "${entries}")
  set(expected ${spelt})
  if(page EQUAL 1252)
    set(expected ${all})
  endif()
  if(NOT status EQUAL 0 OR NOT CMAKE_MATCH_1 EQUAL expected OR expected EQUAL 0)
    message(FATAL_ERROR "Code page ${page}: ${CMAKE_MATCH_1} test entries, for ${expected} tests (of ${all}, ${spelt} Spellings/ rows).")
  endif()
  message(STATUS "Code page ${page}: ${expected} test entries, one for each test that runs under it.")
endforeach()
