# Uses the console's fixed discovery ports (45321/45320) for part of its cases.
set_tests_properties(${OV_TEST} PROPERTIES RESOURCE_LOCK discovery_ports)
