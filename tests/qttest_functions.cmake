# Writes the test functions of a QtTest executable, one a line, as the
# executable itself lists them (-functions), and fails if a function named
# in the test's registration is not among them. Run after each link:
#   cmake -DEXECUTABLE=path -DOUTPUT=file "-DNAMED=function;..." -P qttest_functions.cmake
cmake_policy(SET CMP0057 NEW) # if(IN_LIST)
# No list stays behind from an earlier build when this one fails.
file(REMOVE "${OUTPUT}")
set(ENV{QT_QPA_PLATFORM} offscreen)
# Under the sanitizers: listing the functions is no test of leaks.
set(ENV{ASAN_OPTIONS} detect_leaks=0)
execute_process(COMMAND "${EXECUTABLE}" -functions
                OUTPUT_VARIABLE listed ERROR_VARIABLE errors RESULT_VARIABLE result TIMEOUT 60)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${EXECUTABLE} -functions failed (${result}):\n${errors}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*\\(\\)" functions "${listed}")
string(REPLACE "()" "" functions "${functions}")
if(NOT functions)
    message(FATAL_ERROR "${EXECUTABLE} lists no test functions")
endif()
foreach(name IN LISTS NAMED)
    if(NOT name IN_LIST functions)
        message(FATAL_ERROR "${EXECUTABLE} has no test function ${name}, which its registration names")
    endif()
endforeach()
string(REPLACE ";" "\n" lines "${functions}")
file(WRITE "${OUTPUT}" "${lines}\n")
