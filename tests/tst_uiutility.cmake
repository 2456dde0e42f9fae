# Translation files made by lrelease at build time: language "alpha" holds two,
# "beta" one.
foreach(entry "alpha;alpha_a;a" "alpha;alpha_b;b" "beta;beta_c;c")
  list(GET entry 0 lang)
  list(GET entry 1 ts)
  list(GET entry 2 qm)
  set(out ${OV_TEST_DIR}/language/${lang}/${qm}.qm)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${OV_TEST_DIR}/language/${lang}
    COMMAND Qt5::lrelease -silent ${CMAKE_CURRENT_SOURCE_DIR}/data/ts/${ts}.ts -qm ${out}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/ts/${ts}.ts)
  list(APPEND OV_QM_FILES ${out})
endforeach()
add_custom_target(${OV_TEST}_qm DEPENDS ${OV_QM_FILES})
add_dependencies(${OV_TEST} ${OV_TEST}_qm)
