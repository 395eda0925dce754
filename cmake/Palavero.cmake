# palavero_add_test(NAME <name> SOURCES <files...> LIBS <libs...>)
# One QtTest executable registered with CTest; widget tests run offscreen.
function(palavero_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE palavero_testsupport ${T_LIBS} Qt6::Test)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        TIMEOUT 300 LABELS unit)
endfunction()
