# Writes the test functions of a QtTest executable, one a line, as the
# executable itself lists them (-functions). Run after each link:
#   cmake -DEXECUTABLE=path -DOUTPUT=file -P qttest_functions.cmake
set(ENV{QT_QPA_PLATFORM} offscreen)
# Under the sanitizers: listing the functions is no test of leaks.
set(ENV{ASAN_OPTIONS} detect_leaks=0)
execute_process(COMMAND "${EXECUTABLE}" -functions
                OUTPUT_VARIABLE listed ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 60)
if(NOT result EQUAL 0)
    file(REMOVE "${OUTPUT}")
    message(FATAL_ERROR "${EXECUTABLE} -functions failed (${result}):\n${errors}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*\\(\\)" functions "${listed}")
string(REPLACE "()" "" functions "${functions}")
if(NOT functions)
    message(FATAL_ERROR "${EXECUTABLE} lists no test functions")
endif()
string(REPLACE ";" "\n" lines "${functions}")
file(WRITE "${OUTPUT}" "${lines}\n")
