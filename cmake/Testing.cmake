# GoogleTest is built from Debian's source package in every tree, so the
# cross trees and the sanitizer tree get a gtest built with their own flags.
set(ZT_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${ZT_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(ZT_TEST_TIMEOUT 600 CACHE STRING "Seconds any one test may run")

# Tests that move the mouse, type, or take the focus or the foreground share
# one display: two of them at once steal each other's input, and a loaded
# parallel run then fails pixel and key checks that are right. DESKTOP
# (below) has such a test hold this lock, so they run one at a time while
# everything else still runs beside them.
set(ZT_DESKTOP_LOCK zt_desktop_input)
function(zt_desktop_test test)
  set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK ${ZT_DESKTOP_LOCK})
endfunction()

# zt_add_gtest(<target> [DESKTOP] [ENVIRONMENT VAR=value ...] [LABELS ...])
# Registers a gtest executable as one CTest test. The runner writes an XML
# report; under Wine the emulator refuses a run that left no report or ran no
# test, so a Windows test that never really started cannot pass. DESKTOP: the
# test uses the mouse, the keyboard, the focus or the foreground.
function(zt_add_gtest target)
  cmake_parse_arguments(ARG "DESKTOP" "" "ENVIRONMENT;LABELS" ${ARGN})
  set(report ${CMAKE_BINARY_DIR}/test-reports/${target}.xml)
  add_test(NAME ${target} COMMAND ${target} --gtest_output=xml:${report})
  set_tests_properties(${target} PROPERTIES TIMEOUT ${ZT_TEST_TIMEOUT})
  if(ARG_ENVIRONMENT)
    set_tests_properties(${target} PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  if(ARG_LABELS)
    set_tests_properties(${target} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  if(ARG_DESKTOP)
    zt_desktop_test(${target})
  endif()
endfunction()

# zt_add_receiver_gtest(<target> [WHOLE] LABELS ...)
# A Windows gtest that posts to the loopback receiver, which runs on the Linux
# side: it starts through tests/win/with_receiver.sh (which then runs it in
# the Wine emulator) instead of the tree's emulator. Tests named *Large* (the
# multi-GiB posts) form a second test labelled `slow`; WHOLE registers the
# program as one test instead; EACH names the program's test cases to
# register one test each (a long program kept under the time limit, and its
# parts run side by side); TLS has the receiver serve TLS as well
# (with_receiver.sh); ENVIRONMENT adds variables of the test's own; DESKTOP
# as for zt_add_gtest.
function(zt_add_receiver_gtest target)
  cmake_parse_arguments(ARG "WHOLE;TLS;DESKTOP" "" "LABELS;EACH;ENVIRONMENT" ${ARGN})
  set(tls "")
  if(ARG_TLS)
    set(tls ";ZT_RECEIVER_TLS=1;ZT_TRUST_TOOL=$<TARGET_FILE:trust_authority>")
  endif()
  foreach(variable ${ARG_ENVIRONMENT})
    set(tls "${tls};${variable}")
  endforeach()
  if(ARG_EACH)
    set(kinds ${ARG_EACH})
  elseif(ARG_WHOLE)
    set(kinds whole)
  else()
    set(kinds fast large)
  endif()
  foreach(kind ${kinds})
    if(kind STREQUAL "fast")
      set(filter "-*Large*")
      set(labels ${ARG_LABELS})
    elseif(kind STREQUAL "large")
      set(filter "*Large*")
      set(labels ${ARG_LABELS} slow)
    elseif(kind STREQUAL "whole")
      set(filter "*")
      set(labels ${ARG_LABELS})
    else()
      set(filter "*.${kind}")
      set(labels ${ARG_LABELS})
    endif()
    add_test(NAME ${target}_${kind}
      COMMAND ${PROJECT_SOURCE_DIR}/tests/win/with_receiver.sh ${ZT_WINE_ARCH} $<TARGET_FILE:${target}>
              --gtest_filter=${filter} --gtest_output=xml:${CMAKE_BINARY_DIR}/test-reports/${target}_${kind}.xml)
    set_tests_properties(${target}_${kind} PROPERTIES TIMEOUT ${ZT_TEST_TIMEOUT}
      ENVIRONMENT "LANG=ko_KR.UTF-8;LC_ALL=ko_KR.UTF-8${tls}" LABELS "${labels}")
    if(ARG_DESKTOP)
      zt_desktop_test(${target}_${kind})
    endif()
  endforeach()
endfunction()
