# The Debian package: `cpack -G DEB` in a Release build directory makes
# quorvel_<version>_<arch>.deb, which installs under /usr what `cmake --install` installs, and the
# copyright file and changelog Debian asks of every package. The line tables the Release build
# keeps for the start-up failure report go into quorvel-dbgsym_<version>_<arch>.ddeb beside it,
# where addr2line finds them by the programs' build ids; the programs in the package are stripped.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_CONTACT "Velmora <info@velmora.cz>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A desktop program whose whole work is keeping records, as its desktop entry's Database says.
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
# Rights what CMake 3.25 gets wrong in the -dbgsym package.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebugPackageRepair.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# What no library link shows: the faces the windows are laid out in (else the wider DejaVu Sans),
# and a tool for the launcher's box when it can't start the program from the menu.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-liberation2 | fonts-liberation | fonts-croscore, zenity | kdialog | x11-utils")

# Sets `out` to the text as a control field of several lines holds it: every line after the
# first indented by one space, and an empty line, which would end the field, written " .".
function(quorvel_control_text text out)
    string(REPLACE "\n\n" "\n.\n" text "${text}")
    string(REPLACE "\n" "\n " text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The synopsis on the first line, then the long text; CPack indents the English one as the
# control file wants it, and quorvel_control_text the Czech one alike.
set(description_en [=[catalogue of periodical issues and their contents
Quorvel keeps a catalogue of periodical issues for one person. Each record
holds the title of a periodical, the issue's number and year, its most
interesting parts and a free-text account of its contents. The records are
browsed in a grid, added, edited, saved and deleted, sorted by title or by
issue number, and searched for a text in one chosen field.

The catalogue is kept with SQLite in the user's data directory, where the
first start from the desktop's menu makes an empty one. The command-line
tool qvtool creates catalogues, fills demonstration ones, and exports and
imports the issues as CSV. The program's texts are Czech.]=])
set(description_cs [=[katalog výtisků časopisů a jejich obsahu
Quorvel vede katalog výtisků časopisů pro jednoho člověka. Každý záznam
obsahuje název časopisu, číslo výtisku s rokem vydání, jeho nejzajímavější
části a volný popis obsahu. Záznamy se prohlížejí v tabulce, přidávají,
upravují, ukládají a mažou, řadí se podle názvu nebo podle čísla výtisku
a vyhledávání najde text ve zvoleném poli.

Katalog je uložen pomocí SQLite v datovém adresáři uživatele, kde ho první
spuštění z nabídky pracovního prostředí založí prázdný. Nástroj pro
příkazovou řádku qvtool zakládá katalogy, plní ukázkové, vyváží výtisky
do CSV a dováží je z něj. Program mluví česky.]=])
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${description_en}")
# CPack has no setting for a field of one's own and writes each value as it is given: the Czech
# description, which apt shows in place of the English one under a Czech locale, follows the
# homepage as a field of its own.
quorvel_control_text("${description_cs}" description_cs)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.velmora.cz/\nDescription-cs: ${description_cs}")

# The package's own documents, in a component `cmake --install` leaves out: they are Debian's,
# and a plain install under /usr/local has no use for them. cpack installs both components.
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
file(STRINGS ${packaging}/changelog changelog_top LIMIT_COUNT 1)
string(REGEX REPLACE "^quorvel \\(([^)]*)\\) .*" "\\1" changelog_version "${changelog_top}")
if(NOT changelog_version STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/changelog begins '${changelog_top}', not with version "
                        "${PROJECT_VERSION}: add an entry for it at the top")
endif()
# Compressed as Debian's tools do it: at most, and without the name or time, so that the same
# changelog gives the same file.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${packaging}/changelog)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
execute_process(COMMAND gzip -9n -c ${packaging}/changelog
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/packaging/changelog.gz RESULT_VARIABLE gzip_rc)
if(NOT gzip_rc EQUAL 0)
    message(FATAL_ERROR "gzip of packaging/changelog failed: ${gzip_rc}")
endif()
install(FILES ${packaging}/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel COMPONENT debian EXCLUDE_FROM_ALL)
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/;${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")

# cpack refuses a build that is not the one users run (see PackageBuildCheck.cmake).
set(CPACK_QUORVEL_BUILD_TYPE "${CMAKE_BUILD_TYPE}")
set(CPACK_QUORVEL_SANITIZE "${QUORVEL_SANITIZE}")
set(CPACK_QUORVEL_DESKTOP "${Qt6_FOUND}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageBuildCheck.cmake)

include(CPack)
