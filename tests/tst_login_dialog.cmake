# Runs discovery on its fixed ports (45321/45320) against the simulator.
set_tests_properties(${OV_TEST} PROPERTIES RESOURCE_LOCK discovery_ports)
