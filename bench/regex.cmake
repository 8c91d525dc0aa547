add_executable(vardel_regex_bench ${CMAKE_CURRENT_LIST_DIR}/regex_bench.cc)
target_link_libraries(vardel_regex_bench PRIVATE vardel_regex benchmark::benchmark)
vardel_warnings(vardel_regex_bench)
