# What an installed Kalix carries besides its programs and data: the manual
# pages, the desktop entry with its icon and file types, and the Debian
# package made by CPack (`cmake --build BUILD --target package`).
#
# The package installs under /usr whatever CMAKE_INSTALL_PREFIX says; the
# programs find their data folder from their own place (bin/../share/kalix).

set(KALIX_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(KALIX_HAS_DESKTOP_PROGRAM OFF)
if(TARGET kalix)
  set(KALIX_HAS_DESKTOP_PROGRAM ON)
endif()

# Manual pages, with the version filled in, compressed as Debian installs
# them.
find_program(KALIX_GZIP gzip)
set(KALIX_MAN_PAGES kalix-cli)
if(KALIX_HAS_DESKTOP_PROGRAM)
  list(APPEND KALIX_MAN_PAGES kalix)
endif()
set(KALIX_VERSION ${PROJECT_VERSION})
set(man_outputs)
foreach(page ${KALIX_MAN_PAGES})
  configure_file(${KALIX_PACKAGING_DIR}/${page}.1 ${CMAKE_BINARY_DIR}/man/${page}.1 @ONLY)
  if(KALIX_GZIP)
    add_custom_command(
      OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
      COMMAND ${KALIX_GZIP} -9 -n -c ${CMAKE_BINARY_DIR}/man/${page}.1 > ${CMAKE_BINARY_DIR}/man/${page}.1.gz
      DEPENDS ${CMAKE_BINARY_DIR}/man/${page}.1
      VERBATIM)
    list(APPEND man_outputs ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  else()
    list(APPEND man_outputs ${CMAKE_BINARY_DIR}/man/${page}.1)
  endif()
endforeach()
add_custom_target(kalix_man ALL DEPENDS ${man_outputs})
install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The desktop entry, its icon and the file types, with the desktop program.
if(KALIX_HAS_DESKTOP_PROGRAM)
  install(FILES ${KALIX_PACKAGING_DIR}/kalix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${KALIX_PACKAGING_DIR}/kalix-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
          RENAME kalix.xml)
  install(FILES ${KALIX_PACKAGING_DIR}/icons/kalix.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${KALIX_PACKAGING_DIR}/icons/kalix-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kalix.png)
  endforeach()
endif()

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalix)
set(CPACK_PACKAGE_VENDOR "Kalix")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kalix maintainers <kalix@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (file dialogs, Yes and No) in the program's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# The synopsis is the summary below; CPack indents the long description and
# writes its empty lines as " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Kalix is a desktop program for people who study transcribed manuscripts.
It opens rich-text or plain-text transcriptions (code page 1252) whose
reserved characters mark pages, folio sides and glyphs, shows where the
caret stands, and searches a document or a whole corpus for one or several
strings, under spelling modes driven by a rules file (identical, upper case,
modified, generated variants). Found forms are listed with their page and
folio and saved as a report. kalix-cli runs the same searches without a
window.

Kalix est un programme pour qui étudie des manuscrits transcrits. Il ouvre
des transcriptions en texte enrichi ou en texte brut (page de code 1252)
dont des caractères réservés marquent les pages, les folios (recto et verso)
et les glyphes, montre où se trouve le curseur, et recherche une ou
plusieurs chaînes dans un document ou dans tout un corpus, selon des modes
d'orthographe réglés par un fichier de règles (identique, majuscule,
modifiée, variantes générées). Les formes trouvées sont listées avec leur
page et leur folio et enregistrées dans un rapport. kalix-cli fait les mêmes
recherches sans fenêtre.")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search transcribed manuscripts / recherche dans les manuscrits transcrits")

include(CPack)
