# The test program's tests, each under Wine (included by tests/CMakeLists.txt).

# The Wine prefixes of the tests: a base one, made with the build (the tests
# are listed in it once they are built), and one copy for each slot of the
# resource "wine", which CTest hands out one test at a time: the tests of
# one prefix share its registry, but most of a test's time goes to waiting
# on Wine, on a started program or on a box, which a test in another prefix
# can use (their number: QARN_WINE_SLOTS, tests/CMakeLists.txt).
set(QARN_WINE_DIR ${CMAKE_BINARY_DIR}/wine)
set(QARN_WINE ${CMAKE_SOURCE_DIR}/scripts/wine)
add_custom_command(OUTPUT ${QARN_WINE_DIR}/base/system.reg
  COMMAND ${QARN_WINE} prefix ${QARN_WINE_DIR}
  COMMENT "Making the Wine prefix of the tests (the first time)")
add_custom_target(wine-prefix ALL DEPENDS ${QARN_WINE_DIR}/base/system.reg)
# Every Windows program of the tests runs under Wine in its test's prefix.
set_target_properties(qarn_tests PROPERTIES CROSSCOMPILING_EMULATOR
  "${QARN_WINE};run;${QARN_WINE_DIR};${CMAKE_CROSSCOMPILING_EMULATOR}")
# Its link (after which its tests are listed under Wine) waits for the
# prefix; its compilation, which takes as long, goes on beside the prefix's
# making.
set_target_properties(qarn_tests PROPERTIES LINK_DEPENDS ${QARN_WINE_DIR}/base/system.reg)
# The listings share one server, which ends a few seconds after the last.
add_custom_command(TARGET qarn_tests POST_BUILD COMMAND ${QARN_WINE} server ${QARN_WINE_DIR}/base 5)

# The fixture "wine": the slots' prefixes, each with a persistent server, and
# a display (unless ctest runs in one), in which failure boxes are real
# windows that the tests read and dismiss.
add_test(NAME wine.start COMMAND ${QARN_WINE} start ${QARN_WINE_DIR} ${QARN_WINE_SLOTS})
add_test(NAME wine.stop COMMAND ${QARN_WINE} stop ${QARN_WINE_DIR} ${QARN_WINE_SLOTS})
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300 LABELS wine)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine LABELS wine)

# The ANSI code pages of players' machines, each with the Unix locale under
# which Wine gives it (made by scripts/test). The whole suite runs under
# 1252; the rows whose names code pages spell differently (Spellings/) run
# again under each other one: the other rows are ASCII, which these code
# pages all spell alike. Before a pass, a test shows that Wine really gives
# its code page there.
set(QARN_CODE_PAGES 1252=C.UTF-8 932=ja_JP.UTF-8 936=zh_CN.UTF-8 65001=hi_IN.UTF-8)
include(GoogleTest)
# The discovered tests get their fixtures and label from a file that ctest
# reads after the discovery's own: a list-valued property does not survive
# gtest_discover_tests' PROPERTIES.
set(passes ${CMAKE_CURRENT_BINARY_DIR}/wine-passes.cmake)
file(WRITE ${passes} "")
# The tests that FILTER picks, each an entry of its own named with SUFFIX,
# under LOCALE, after the fixtures FIXTURES, labelled LABEL, with the
# further PROPERTIES. One process per test: the installation root and the
# catalogue are built once per process, and the tests need them built
# afresh. Every wait of a test gives up after a third of its time, saying
# what it waited for.
function(qarn_wine_pass filter suffix locale fixtures label)
  string(MAKE_C_IDENTIFIER "qarn_tests${suffix}${filter}" list)
  gtest_discover_tests(qarn_tests DISCOVERY_MODE POST_BUILD DISCOVERY_TIMEOUT 60
    TEST_FILTER ${filter} TEST_SUFFIX "${suffix}" TEST_LIST ${list}
    PROPERTIES TIMEOUT 60 ENVIRONMENT LC_ALL=${locale} RESOURCE_GROUPS wine:1)
  file(APPEND ${passes} "set_tests_properties(\${${list}} PROPERTIES FIXTURES_REQUIRED \"${fixtures}\" "
    "LABELS ${label} ${ARGN})\n")
endfunction()

foreach(pair ${QARN_CODE_PAGES})
  string(REPLACE "=" ";" pair ${pair})
  list(GET pair 0 page)
  list(GET pair 1 locale)
  add_test(NAME codepage.${page} COMMAND qarn_tests --code-page)
  set_tests_properties(codepage.${page} PROPERTIES ENVIRONMENT LC_ALL=${locale}
    PASS_REGULAR_EXPRESSION "^${page}[\r\n]*$" FIXTURES_SETUP cp${page} FIXTURES_REQUIRED wine
    RESOURCE_GROUPS wine:1 LABELS cp${page})
  if(page EQUAL 1252)
    qarn_wine_pass("-SignedRelease/*" "" ${locale} "wine;cp1252" cp1252)
    # The release as players get it, signed by the signing test (the fixture
    # "signed"), which only the build of the shipped program holds.
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
      qarn_wine_pass("SignedRelease/*" "" ${locale} "wine;cp1252;signed" cp1252)
    else()
      qarn_wine_pass("SignedRelease/*" "" ${locale} "wine;cp1252" cp1252 DISABLED TRUE)
    endif()
  else()
    qarn_wine_pass("Spellings/*" "@cp${page}" ${locale} "wine;cp${page}" cp${page})
  endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${passes})

# Every test the program holds has its entry under 1252, and every
# Spellings/ row one under each other code page: a name the listing cannot
# carry would otherwise be dropped without a word.
add_test(NAME suite.entries COMMAND ${CMAKE_COMMAND} -DCTEST=${CMAKE_CTEST_COMMAND} -DBUILD=${CMAKE_BINARY_DIR}
  -DPROGRAM=$<TARGET_FILE:qarn_tests> "-DEMULATOR=$<TARGET_PROPERTY:qarn_tests,CROSSCOMPILING_EMULATOR>"
  "-DCODE_PAGES=${QARN_CODE_PAGES}" -P ${CMAKE_CURRENT_SOURCE_DIR}/CheckEntries.cmake)
set_tests_properties(suite.entries PROPERTIES FIXTURES_REQUIRED wine RESOURCE_GROUPS wine:1 LABELS wine)
