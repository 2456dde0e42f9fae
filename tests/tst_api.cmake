# The test is a WebSocket client itself, as a panel would be.
target_link_libraries(${OV_TEST} PRIVATE Qt5::WebSockets)
