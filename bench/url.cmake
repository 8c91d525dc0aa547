# URL parser throughput: typical URLs per second, IDNA hosts, and one long URL in bytes per second.
add_executable(url_bench ${CMAKE_CURRENT_LIST_DIR}/url_bench.cc)
target_link_libraries(url_bench PRIVATE vardel_url benchmark::benchmark)
vardel_warnings(url_bench)
