# The transfer client hands its hardware address to discovery, which then
# listens and announces on the fixed discovery ports.
set_tests_properties(${OV_TEST} PROPERTIES RESOURCE_LOCK discovery_ports)
# A server on a thread of its own that sends as fast as the console reads.
target_sources(${OV_TEST} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/support/OvFloodServer.cpp
               ${CMAKE_CURRENT_SOURCE_DIR}/support/OvFloodServer.h)
