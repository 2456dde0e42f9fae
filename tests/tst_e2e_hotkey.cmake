# The console under test builds the login dialog, which starts discovery on its
# fixed ports, and the simulator answers discovery on its own.
set_tests_properties(${OV_TEST} PROPERTIES RESOURCE_LOCK discovery_ports TIMEOUT 240)
