add_dependencies(${OV_TEST} ovuigallery)
