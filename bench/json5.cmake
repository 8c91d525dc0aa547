add_executable(vardel_json5_bench ${CMAKE_CURRENT_LIST_DIR}/json5_bench.cc)
target_link_libraries(vardel_json5_bench PRIVATE vardel_json5 benchmark::benchmark)
vardel_warnings(vardel_json5_bench)
