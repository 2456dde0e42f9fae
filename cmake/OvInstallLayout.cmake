# Runs at install time (cmake --install, CPack), when the prefix is known.
# In: OV_APPDIR (the program's folder, relative to the prefix), OV_PACKAGING_DIR.
#
# Prefix /usr (the Debian package, or a system install): the settings live in
# /etc/ovcgvestrel/config.ini and the log in /var/log/ovcgvestrel, each linked
# from beside the program where the console looks for them; the package's
# postinst makes the log writable by the group "ovcgvestrel".
# Any other prefix (/opt/..., /usr/local, a home folder): everything beside the
# program, as in the build tree.
# Either way an existing config.ini is never replaced.

set(ov_root "$ENV{DESTDIR}")
set(ov_prefix "${CMAKE_INSTALL_PREFIX}")
set(ov_app "${ov_root}${ov_prefix}/${OV_APPDIR}")

function(ov_note path)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${path}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
  message(STATUS "Installing: ${path}")
endfunction()

function(ov_link target link)
  if(IS_DIRECTORY "${link}" AND NOT IS_SYMLINK "${link}")
    message(WARNING "${link} is a folder, not linking it to ${target}")
    return()
  endif()
  file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
  ov_note("${link}")
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

function(ov_config_once folder)
  if(EXISTS "${folder}/config.ini" OR IS_SYMLINK "${folder}/config.ini")
    message(STATUS "Keeping: ${folder}/config.ini")
  else()
    file(MAKE_DIRECTORY "${folder}")
    file(COPY "${OV_PACKAGING_DIR}/config.ini" DESTINATION "${folder}"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    ov_note("${folder}/config.ini")
  endif()
  set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

if(ov_prefix STREQUAL "/usr")
  ov_config_once("${ov_root}/etc/ovcgvestrel")
  ov_link("/etc/ovcgvestrel/config.ini" "${ov_app}/config.ini")
  file(MAKE_DIRECTORY "${ov_root}/var/log/ovcgvestrel")
  ov_link("/var/log/ovcgvestrel" "${ov_app}/log")
  file(MAKE_DIRECTORY "${ov_root}/etc/logrotate.d")
  configure_file("${OV_PACKAGING_DIR}/logrotate" "${ov_root}/etc/logrotate.d/ovcgvestrel" COPYONLY)
  ov_note("${ov_root}/etc/logrotate.d/ovcgvestrel")
else()
  file(MAKE_DIRECTORY "${ov_app}/log")
  ov_config_once("${ov_app}")
endif()

# The command on the search path, and the menu entry that starts it.
file(MAKE_DIRECTORY "${ov_root}${ov_prefix}/bin")
file(RELATIVE_PATH ov_rel "${ov_prefix}/bin" "${ov_prefix}/${OV_APPDIR}/OvCGVestrel")
ov_link("${ov_rel}" "${ov_root}${ov_prefix}/bin/ovcgvestrel")
set(OV_DESKTOP_EXEC "${ov_prefix}/bin/ovcgvestrel")
if(ov_prefix STREQUAL "/usr")
  set(OV_DESKTOP_EXEC "ovcgvestrel")
endif()
configure_file("${OV_PACKAGING_DIR}/ovcgvestrel.desktop.in"
               "${ov_root}${ov_prefix}/share/applications/ovcgvestrel.desktop" @ONLY)
ov_note("${ov_root}${ov_prefix}/share/applications/ovcgvestrel.desktop")
