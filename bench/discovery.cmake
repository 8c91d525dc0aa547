# Benchmarks of discovery: the walk, path cleaning and the whole of find_json_files on a tree.
add_executable(vardel_discovery_bench ${CMAKE_CURRENT_LIST_DIR}/discovery_bench.cc)
target_link_libraries(vardel_discovery_bench PRIVATE vardel_lib benchmark::benchmark
                      benchmark::benchmark_main)
vardel_warnings(vardel_discovery_bench)
