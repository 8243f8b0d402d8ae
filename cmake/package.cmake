# Installation and the Debian package (cpack -G DEB in the build folder).
#
#   /usr/bin/RBPNDLST, KELPRINT, kelrec      KELEXE=/usr/bin/
#   /usr/share/kel-pendents/install/         the template of kelrec init/demo
#   /usr/share/man/man1/*.1.gz               RBPNDLST(1), KELPRINT(1), kelrec(1)
#   /usr/share/doc/kel-pendents/README.md
include(GNUInstallDirs)

set(KEL_PACKAGE_NAME kel-pendents)
set(KEL_TEMPLATE_DESTINATION ${CMAKE_INSTALL_DATADIR}/${KEL_PACKAGE_NAME}/install)

install(TARGETS rbpndlst KELPRINT kelrec RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The help sources stay out: the help files made from them are in AJUDA.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/install/ DESTINATION ${KEL_TEMPLATE_DESTINATION}
        PATTERN src EXCLUDE)
# kelrec finds the template from its own folder, wherever the prefix is.
target_compile_definitions(kel_kelrec PRIVATE
  KEL_INSTALLED_TEMPLATE="${KEL_TEMPLATE_DESTINATION}")

# Manual pages, compressed as Debian keeps them.
set(_man_pages)
foreach(_page RBPNDLST.1 KELPRINT.1 kelrec.1)
  set(_out ${CMAKE_BINARY_DIR}/man/${_page})
  add_custom_command(OUTPUT ${_out}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/docs/man/${_page} ${_out}
    COMMAND gzip -9nf ${_out}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${_page}
    VERBATIM)
  list(APPEND _man_pages ${_out}.gz)
endforeach()
add_custom_target(kel_man_pages ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${KEL_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${KEL_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "pending-receipts report (RBPNDLST) for offices that administer rented buildings")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The report module RBPNDLST lists, estate by estate, the receipts still\n\
pending or returned unpaid in a period, on a text-mode form for Linux\n\
terminals. Its print program KELPRINT lays the report out as PDF, text,\n\
XLSX or CSV, or sends it to a print queue; kelrec makes installations\n\
(also with demo data) and moves record files to and from CSV.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kel developers <kel@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Libraries from the programs' own links; the PDF's font by name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups-client")
set(CPACK_STRIP_FILES ON)
include(CPack)
