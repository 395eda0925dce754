# palavero_add_test(NAME <name> SOURCES <files...> LIBS <libs...>)
# One QtTest executable registered with CTest; widget tests run offscreen.
function(palavero_add_test)
    cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE palavero_testsupport ${T_LIBS} Qt6::Test)
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    add_dependencies(palavero_unit_tests ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8"
        TIMEOUT 300 LABELS unit)
endfunction()

# palavero_add_fuzzer(NAME <name> SOURCES <files...> RUNS <n> MAX_LEN <bytes>)
# A libFuzzer target, built only with a Clang that has -fsanitize=fuzzer
# (configure with CMAKE_CXX_COMPILER=clang++). The sources under test are
# compiled into it so that they are instrumented. CTest runs it a bounded
# number of times over the seeds in fuzz_corpus/ beside it; new inputs go to
# the build folder.
function(palavero_add_fuzzer)
    cmake_parse_arguments(F "" "NAME;RUNS;MAX_LEN" "SOURCES" ${ARGN})
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        return()
    endif()
    include(CheckCXXSourceCompiles)
    set(CMAKE_REQUIRED_FLAGS "-fsanitize=fuzzer")
    set(CMAKE_REQUIRED_LINK_OPTIONS "-fsanitize=fuzzer")
    check_cxx_source_compiles([[
        #include <cstddef>
        #include <cstdint>
        extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
    ]] PALAVERO_HAVE_LIBFUZZER)
    if(NOT PALAVERO_HAVE_LIBFUZZER)
        return()
    endif()
    add_executable(${F_NAME} ${F_SOURCES})
    target_include_directories(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer,address,undefined)
    target_link_libraries(${F_NAME} PRIVATE Qt6::Core)
    add_dependencies(palavero_fuzzers ${F_NAME})
    set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}_corpus)
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME ${F_NAME}
        COMMAND ${F_NAME} -runs=${F_RUNS} -max_len=${F_MAX_LEN} ${corpus} ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_corpus)
    set_tests_properties(${F_NAME} PROPERTIES TIMEOUT 300 LABELS fuzz)
endfunction()
