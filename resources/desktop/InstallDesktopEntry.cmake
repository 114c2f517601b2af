# Run by `cmake --install` (install(SCRIPT)): installs the desktop entry, whose Exec and TryExec
# name the launcher under the prefix this install is made for: the one --prefix gives, or the
# configured one; DESTDIR only stages the files and is no part of the path.
# Set before: QUORVEL_DESKTOP_TEMPLATE, QUORVEL_DESKTOP_STAGING (a directory of the build where
# the entry is written first), QUORVEL_BINDIR, QUORVEL_DATADIR.
foreach(kind BINDIR DATADIR)
    if(IS_ABSOLUTE "${QUORVEL_${kind}}")
        set(install_${kind} "${QUORVEL_${kind}}")
    else()
        set(install_${kind} "${CMAKE_INSTALL_PREFIX}/${QUORVEL_${kind}}")
    endif()
endforeach()
set(QUORVEL_LAUNCHER "${install_BINDIR}/quorvel-start")
if(QUORVEL_LAUNCHER MATCHES "[\n\r\t]")
    message(FATAL_ERROR "The launcher's path can't stand in a desktop entry: ${QUORVEL_LAUNCHER}")
endif()

# Exec has quoting of its own: % is doubled, and a path with any other character than these
# goes in double quotes, inside which ", `, $ and \ take a backslash. Both keys are then string
# values, where each backslash is written twice.
set(exec "${QUORVEL_LAUNCHER}")
string(REPLACE "%" "%%" exec "${exec}")
if(NOT exec MATCHES "^[A-Za-z0-9/._+%-]+$")
    string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec "${exec}")
    set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" QUORVEL_LAUNCHER_EXEC "${exec}")
string(REPLACE "\\" "\\\\" QUORVEL_LAUNCHER "${QUORVEL_LAUNCHER}")

# Written apart for each destination, so that installs made at the same time (the tests make
# them) don't hand each other their entries.
string(MD5 destination "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
set(entry "${QUORVEL_DESKTOP_STAGING}/${destination}/cz.velmora.Quorvel.desktop")
configure_file("${QUORVEL_DESKTOP_TEMPLATE}" "${entry}" @ONLY)
file(INSTALL "${entry}" DESTINATION "${install_DATADIR}/applications")
