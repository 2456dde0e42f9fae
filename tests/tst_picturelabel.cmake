# The artwork test reads the icons the build places in the runnable tree.
add_dependencies(${OV_TEST} ov_artwork)
