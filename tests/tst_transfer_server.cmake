# The transfer client hands its hardware address to discovery, which then
# listens and announces on the fixed discovery ports.
set_tests_properties(${OV_TEST} PROPERTIES RESOURCE_LOCK discovery_ports)
