# Every public header of the widget library is compiled alone (twice in one
# translation unit, for the include guard), with the test's warnings as errors.
file(GLOB OV_PUBLIC_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/uiutility/include/OvUIUtility/*.h)
set(OV_ALONE_DIR ${CMAKE_CURRENT_BINARY_DIR}/${OV_TEST}_alone)
set(OV_ALONE_LIST "")
foreach(header ${OV_PUBLIC_HEADERS})
  get_filename_component(stem ${header} NAME_WE)
  file(CONFIGURE OUTPUT ${OV_ALONE_DIR}/alone_${stem}.cpp CONTENT
"#include <OvUIUtility/${stem}.h>
#include <OvUIUtility/${stem}.h>
extern const char* const ovAlone_${stem};
const char* const ovAlone_${stem} = \"${stem}.h\";
")
  target_sources(${OV_TEST} PRIVATE ${OV_ALONE_DIR}/alone_${stem}.cpp)
  string(APPEND OV_ALONE_LIST "extern const char* const ovAlone_${stem};\n")
  string(APPEND OV_ALONE_NAMES "ovAlone_${stem}, ")
endforeach()
file(CONFIGURE OUTPUT ${OV_ALONE_DIR}/ovalone.h CONTENT
"${OV_ALONE_LIST}#define OV_ALONE_HEADERS ${OV_ALONE_NAMES}
")
target_include_directories(${OV_TEST} PRIVATE ${OV_ALONE_DIR})
