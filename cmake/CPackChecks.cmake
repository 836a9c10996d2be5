# Read by cpack before it builds a package. Without dpkg-shlibdeps (and
# file) cpack would build a .deb that names none of its libraries and
# cannot start on a clean system; stop instead.
if(CPACK_GENERATOR STREQUAL "DEB")
  foreach(tool dpkg-shlibdeps file)
    find_program(found_${tool} ${tool})
    if(NOT found_${tool})
      message(FATAL_ERROR "${tool} is missing, so the package's library dependencies cannot be "
                          "computed. Install it first: tools/install-deps run")
    endif()
  endforeach()
endif()
