# Installation (GNUInstallDirs) and the Debian package: both programs, the desktop entry, the icon
# in the hicolor theme (scalable and fixed sizes), AppStream metadata and the manual pages.
set(QM_APP_ID org.quillmere.Quillmere32)
set(QM_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/resources/desktop)
# The package is named quillmere, so its documents go where Debian looks for them.
set(QM_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/quillmere)

install(TARGETS quillmere-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages and the changelog are installed compressed, as Debian expects them.
find_program(QM_GZIP gzip REQUIRED)
set(qm_compressed)
foreach(source man/quillmere.1 man/quillmere-check.1 desktop/changelog)
    get_filename_component(leaf ${source} NAME)
    set(out ${PROJECT_BINARY_DIR}/install/${leaf}.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${QM_GZIP} -9n -c ${PROJECT_SOURCE_DIR}/resources/${source} > ${out}
        DEPENDS ${PROJECT_SOURCE_DIR}/resources/${source} VERBATIM)
    list(APPEND qm_compressed ${out})
endforeach()
add_custom_target(qm_install_files ALL DEPENDS ${qm_compressed})
install(FILES ${PROJECT_BINARY_DIR}/install/quillmere-check.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/install/changelog.gz ${QM_DESKTOP_DIR}/copyright
        DESTINATION ${QM_PACKAGE_DOCDIR})
install(FILES ${QM_DESKTOP_DIR}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quillmere)

if(QM_BUILD_GUI)
    install(TARGETS quillmere RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_BINARY_DIR}/install/quillmere.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${QM_DESKTOP_DIR}/${QM_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${QM_DESKTOP_DIR}/${QM_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${QM_DESKTOP_DIR}/quillmere.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # The fixed sizes are drawn from the scalable icon at build time.
    add_executable(qm_render_icon ${PROJECT_SOURCE_DIR}/tools/render_icon.cpp)
    target_link_libraries(qm_render_icon PRIVATE Qt6::Gui Qt6::Svg qm::warnings)
    set_target_properties(qm_render_icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
    set(qm_icons)
    foreach(size 16 22 24 32 48 64 128 256)
        set(out ${PROJECT_BINARY_DIR}/install/icons/${size}x${size}/quillmere.png)
        add_custom_command(OUTPUT ${out}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/install/icons/${size}x${size}
            COMMAND qm_render_icon ${QM_DESKTOP_DIR}/quillmere.svg ${size} ${out}
            DEPENDS qm_render_icon ${QM_DESKTOP_DIR}/quillmere.svg VERBATIM)
        list(APPEND qm_icons ${out})
        install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(qm_icons ALL DEPENDS ${qm_icons})
endif()

# cpack -G DEB: quillmere_<version>_<arch>.deb, dependencies from the linked libraries.
set(CPACK_PACKAGE_NAME quillmere)
set(CPACK_PACKAGE_VENDOR "The Quillmere32 developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "POP3 mailbox monitor for the system tray")
# Lines of the extended description stay within Debian's 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmere32 checks POP3 mailboxes at a fixed interval, deletes spam on\n"
    "the server by sender and subject masks, and shows in the system tray\n"
    "whether new mail waits: an animated icon, a popup listing the accounts\n"
    "with news, a sound and a desktop notification. quillmere-check makes\n"
    "the same check from the console.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillmere32 maintainers <maintainers@quillmere.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quillmere.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The new-mail sound is played through whichever of these finds a sound device.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio-utils | alsa-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
