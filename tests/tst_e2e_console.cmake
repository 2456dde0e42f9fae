# Builds the login dialog, which starts discovery on its fixed ports.
set_tests_properties(${OV_TEST} PROPERTIES RESOURCE_LOCK discovery_ports)
