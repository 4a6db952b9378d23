# Where `cmake --install` and the Debian package put the program's files (GNU layout).
include(GNUInstallDirs)

# The application id: the desktop entry's file name, the icon's name and the metainfo's id.
set(DODIVEVERAZED_APP_ID de.dodiveverazed.Dodiveverazed)
# Debian wants the package's documentation under its lower-case package name.
set(DODIVEVERAZED_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/dodiveverazed)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Installs one of the program's executables into bin. The one manual page dodiveverazed.1 covers
# the window's and the console's executable alike; every other executable gets a link to it.
function(dodiveverazed_install_program target)
    # The program's own libraries are static, so the installed executable needs no library search
    # path of its own (Qt's project setup would add $ORIGIN; Debian forbids such a path).
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(UNIX AND NOT APPLE AND NOT target STREQUAL "dodiveverazed")
        set(link ${PROJECT_BINARY_DIR}/man/${target}.1.gz)
        file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
        file(CREATE_LINK dodiveverazed.1.gz ${link} SYMBOLIC)
        install(FILES ${link} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endfunction()
