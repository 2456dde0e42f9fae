# What each layer is built from, and where Qt keeps its Core and Widgets
# headers, for the include check.
set(OV_LAYERS ovprotocol ovhotkey ovcore)
set(OV_LAYERS_CONTENT "")
foreach(layer ${OV_LAYERS})
  string(APPEND OV_LAYERS_CONTENT
    "${layer} $<TARGET_PROPERTY:${layer},SOURCE_DIR> $<JOIN:$<TARGET_PROPERTY:${layer},SOURCES>, >\n")
endforeach()
file(GENERATE OUTPUT ${OV_TEST_DIR}/layers.txt CONTENT "${OV_LAYERS_CONTENT}")
get_target_property(OV_QT_CORE_DIRS Qt5::Core INTERFACE_INCLUDE_DIRECTORIES)
get_target_property(OV_QT_WIDGETS_DIRS Qt5::Widgets INTERFACE_INCLUDE_DIRECTORIES)
list(FILTER OV_QT_CORE_DIRS INCLUDE REGEX "/QtCore$")
list(FILTER OV_QT_WIDGETS_DIRS INCLUDE REGEX "/QtWidgets$")
target_compile_definitions(${OV_TEST} PRIVATE
  OV_LAYERS_FILE="${OV_TEST_DIR}/layers.txt"
  OV_QT_CORE_DIR="${OV_QT_CORE_DIRS}"
  OV_QT_WIDGETS_DIR="${OV_QT_WIDGETS_DIRS}")
