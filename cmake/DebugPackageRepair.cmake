# Run by cpack once it has made the packages. CMake 3.25 writes the -dbgsym package's md5sums with
# the paths of its staging directory instead of the installed ones, so that dpkg --verify, debsums
# and lintian find none of its files. The package is built again as Debian's own tools make one:
# md5sums by installed path, the .debug files not executable, and its documentation directory a
# link to the program's (which the Depends on the same version of the program keeps valid).
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    if(NOT package MATCHES "\\.ddeb$")
        continue()
    endif()
    set(tree "${package}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${package}" "${tree}" RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "dpkg-deb -R ${package}: ${rc}")
    endif()

    file(READ "${tree}/DEBIAN/md5sums" sums)
    string(REGEX REPLACE "  /[^\n]*/_CPack_Packages/[^\n/]*/DEB/[^\n/]*/" "  " sums "${sums}")
    if(NOT sums MATCHES "^([0-9a-f]+  usr/lib/debug/[^\n]+\n)+$")
        message(FATAL_ERROR "The -dbgsym package's md5sums, unexpected:\n${sums}")
    endif()
    file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
    file(GLOB_RECURSE debug_files "${tree}/usr/lib/debug/*.debug")
    file(CHMOD ${debug_files} FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    string(REGEX REPLACE "^(.*/)?([^/_]+)_.*$" "\\2" name "${package}")
    string(REGEX REPLACE "-dbgsym$" "" program_package "${name}")
    file(MAKE_DIRECTORY "${tree}/usr/share/doc")
    file(CREATE_LINK "${program_package}" "${tree}/usr/share/doc/${name}" SYMBOLIC)

    execute_process(COMMAND dpkg-deb --root-owner-group -b "${tree}" "${package}"
                    OUTPUT_QUIET RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "dpkg-deb -b ${package}: ${rc}")
    endif()
    file(REMOVE_RECURSE "${tree}")
endforeach()
