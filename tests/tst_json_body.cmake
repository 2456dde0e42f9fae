# The body reader's interface is simdjson's; the test reads through it too.
find_package(simdjson CONFIG REQUIRED)
target_link_libraries(${OV_TEST} PRIVATE simdjson::simdjson)
