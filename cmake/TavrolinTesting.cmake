# tavrolin_add_test(NAME name SOURCES ... LIBS ... [GUI] [ENV k=v ...] [DEPENDS target ...]
#                   [LABELS ...] [TIMEOUT s])
# One Qt Test executable per test. GUI tests run on the offscreen platform so
# they need no display and never show a window.
function(tavrolin_add_test)
  cmake_parse_arguments(T "GUI" "NAME;TIMEOUT" "SOURCES;LIBS;ENV;LABELS;DEPENDS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE Qt6::Test ${T_LIBS})
  if(T_DEPENDS)
    # Libraries the test loads at run time rather than links.
    add_dependencies(${T_NAME} ${T_DEPENDS})
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env ${T_ENV})
  if(T_GUI)
    list(APPEND env QT_QPA_PLATFORM=offscreen)
  endif()
  # Qt's own libraries leak a little at exit; the leaks that matter are caught
  # by the tests' own checks, not by LeakSanitizer.
  list(APPEND env ASAN_OPTIONS=detect_leaks=0:abort_on_error=0
       UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT}
                                            LABELS "${T_LABELS}")
endfunction()
