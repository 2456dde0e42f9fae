# The test talks to the X server itself, as the hot key's platform layer does.
target_link_libraries(${OV_TEST} PRIVATE Qt5::X11Extras PkgConfig::XCB)
