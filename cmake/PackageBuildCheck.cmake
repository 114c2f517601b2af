# Read by cpack before it packs. Only the build users run goes into a package: optimised, with
# the windows, and without the sanitizers, whose run-time libraries dpkg-shlibdeps would
# otherwise make the package depend on.
if(NOT CPACK_QUORVEL_BUILD_TYPE STREQUAL "Release" OR CPACK_QUORVEL_SANITIZE
   OR NOT CPACK_QUORVEL_DESKTOP)
    message(FATAL_ERROR "The package is made from a Release build with Qt 6 and without "
                        "QUORVEL_SANITIZE; this one is '${CPACK_QUORVEL_BUILD_TYPE}', sanitizers "
                        "'${CPACK_QUORVEL_SANITIZE}', Qt 6 '${CPACK_QUORVEL_DESKTOP}'.")
endif()
