# The test is a WebSocket client itself, as a panel would be, and an OSC
# panel through liblo for the commands every surface shares.
target_link_libraries(${OV_TEST} PRIVATE Qt5::WebSockets PkgConfig::LIBLO)
