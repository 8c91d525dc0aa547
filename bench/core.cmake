# Benchmarks of the platform layer's file reading and UTF-8 check.
add_executable(vardel_platform_bench ${CMAKE_CURRENT_LIST_DIR}/platform_bench.cc)
target_link_libraries(vardel_platform_bench PRIVATE vardel_platform benchmark::benchmark
                      benchmark::benchmark_main)
vardel_warnings(vardel_platform_bench)

# check_file over a large document: reading, the UTF-8 check and the JSON check together.
add_executable(vardel_check_file_bench ${CMAKE_CURRENT_LIST_DIR}/check_file_bench.cc)
target_link_libraries(vardel_check_file_bench PRIVATE vardel_lib benchmark::benchmark
                      benchmark::benchmark_main)
vardel_warnings(vardel_check_file_bench)
