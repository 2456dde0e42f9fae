# The test speaks OSC itself, through liblo as a panel would.
target_link_libraries(${OV_TEST} PRIVATE PkgConfig::LIBLO)
