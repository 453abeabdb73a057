# Run by cpack once the files are installed into its staging folder: every file of the package
# under /etc is a configuration file the administrator may edit, so an update keeps the edits
# (dpkg asks). The list goes into the control file "conffiles".
file(GLOB_RECURSE _etc LIST_DIRECTORIES false RELATIVE "${CPACK_TEMPORARY_INSTALL_DIRECTORY}"
     "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/etc/*")
list(SORT _etc)
set(_text "")
foreach(f ${_etc})
  string(APPEND _text "/${f}\n")
endforeach()
file(WRITE "${CPACK_CORVAN_CONFFILES}" "${_text}")
