add_executable(schema_bench ${CMAKE_CURRENT_LIST_DIR}/schema_bench.cc)
target_link_libraries(schema_bench PRIVATE vardel_schema benchmark::benchmark)
vardel_warnings(schema_bench)
