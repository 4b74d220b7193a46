# vostrel_install_configured_file(TEMPLATE NAME DESTINATION [VARIABLES var...])
#
# Installs the file NAME, made from TEMPLATE (configure_file, @ONLY) when the
# installation runs rather than when the build is configured: paths in it
# then follow the prefix of the install step, which for a Debian package
# (cpack) is /usr, whatever prefix the build was configured with. In the
# template, @VOSTREL_INSTALL_PREFIX@ is that prefix; the VARIABLES named are
# passed with their values of now. DESTINATION is evaluated by the install
# step: "\${CMAKE_INSTALL_PREFIX}/lib/..." for a folder under the prefix,
# "\${VOSTREL_INSTALL_SYSCONFDIR}/..." for one under its configuration folder
# (/etc for the prefixes / and /usr, as GNUInstallDirs has it).
function(vostrel_install_configured_file template name destination)
  cmake_parse_arguments(ARG "" "" "VARIABLES" ${ARGN})
  set(made "${CMAKE_CURRENT_BINARY_DIR}/install-time/${name}")
  set(code "set(VOSTREL_INSTALL_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")\n")
  string(APPEND code
    "if(VOSTREL_INSTALL_PREFIX MATCHES \"^/(usr/?)?$\")\n"
    "  set(VOSTREL_INSTALL_SYSCONFDIR /etc)\n"
    "else()\n"
    "  set(VOSTREL_INSTALL_SYSCONFDIR \"\${VOSTREL_INSTALL_PREFIX}/etc\")\n"
    "endif()\n")
  foreach(variable IN LISTS ARG_VARIABLES)
    string(APPEND code "set(${variable} [==[${${variable}}]==])\n")
  endforeach()
  string(APPEND code
    "configure_file([==[${template}]==] [==[${made}]==] @ONLY)\n"
    "file(INSTALL DESTINATION \"${destination}\" TYPE FILE FILES [==[${made}]==])\n")
  install(CODE "${code}")
endfunction()
