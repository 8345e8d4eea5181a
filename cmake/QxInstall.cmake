# SPDX-License-Identifier: BSD-3-Clause
# Install rules and the Debian package. `cmake --install build --prefix /opt/x` gives
#   bin/qx4100mgr, bin/tokenctl
#   <libdir>/qx4100/libTokenMgr.so.N, zkeyra_qx4100.so      found through $ORIGIN, not LD_LIBRARY_PATH
#   share/qx4100/Languages/, share/qx4100/res/
#   share/applications, share/metainfo, share/icons/hicolor  desktop integration
#   share/man/man1/qx4100mgr.1.gz, tokenctl.1.gz
#   share/doc/qx4100mgr/copyright, changelog.gz             the package's licence and history
set(QX_APP_ID com.vostrel.qx4100mgr)

set_target_properties(qx4100mgr PROPERTIES INSTALL_RPATH "$ORIGIN/${QX_REL_LIBDIR}")
install(TARGETS qx4100mgr tokenctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The token manager library is private to the tool: no development link, no header.
install(TARGETS TokenMgr LIBRARY DESTINATION ${QX_INSTALL_LIBDIR} NAMELINK_SKIP)
install(TARGETS zkeyra_qx4100 LIBRARY DESTINATION ${QX_INSTALL_LIBDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Languages ${CMAKE_SOURCE_DIR}/res DESTINATION ${QX_INSTALL_DATADIR})

install(FILES ${CMAKE_SOURCE_DIR}/desktop/${QX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/${QX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
file(GLOB qx_icon_sizes RELATIVE ${CMAKE_SOURCE_DIR}/desktop/icons ${CMAKE_SOURCE_DIR}/desktop/icons/*)
foreach(size IN LISTS qx_icon_sizes)
    install(FILES ${CMAKE_SOURCE_DIR}/desktop/icons/${size}/${QX_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
endforeach()

# Manual pages and the changelog are compressed as Debian installs them: gzip -9n, no name or time
# inside, so the same sources give the same bytes.
set(qx_doc_build ${CMAKE_BINARY_DIR}/doc)
set(qx_doc_outputs)
foreach(src IN ITEMS doc/man/qx4100mgr.1 doc/man/tokenctl.1 packaging/changelog)
    get_filename_component(name ${src} NAME)
    add_custom_command(OUTPUT ${qx_doc_build}/${name}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${qx_doc_build}
        COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/${src} > ${qx_doc_build}/${name}.gz
        DEPENDS ${CMAKE_SOURCE_DIR}/${src}
        COMMENT "Compressing ${name}"
        VERBATIM)
    list(APPEND qx_doc_outputs ${qx_doc_build}/${name}.gz)
endforeach()
add_custom_target(qx_docs ALL DEPENDS ${qx_doc_outputs})
install(FILES ${qx_doc_build}/qx4100mgr.1.gz ${qx_doc_build}/tokenctl.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${qx_doc_build}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/qx4100mgr)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qx4100mgr)
set(CPACK_PACKAGE_VENDOR Vostrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Manager for QX4100 USB PKI security tokens")
set(CPACK_PACKAGE_DESCRIPTION "Lists plugged-in tokens and shows their properties, logs in with the PIN,
manages key containers and certificates, changes PINs and labels, unlocks
blocked PINs and manages fingerprints. Works on virtual tokens with tokenctl.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vostrel <support@vostrel.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Dependencies come from the binaries; the tool's own libraries are found in the package itself.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
include(CPack)
