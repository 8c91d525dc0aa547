# Parser throughput on generated documents of 50 MB and more.
add_executable(json_bench ${CMAKE_CURRENT_LIST_DIR}/json_bench.cc)
target_link_libraries(json_bench PRIVATE vardel_json benchmark::benchmark)
vardel_warnings(json_bench)
