# The Debian package that scripts/package makes with CPack: the install rules
# above, installed under /usr, plus what Debian asks of every package (a
# copyright file and a changelog), and the dependencies that dpkg-shlibdeps
# cannot see because the program loads them at run time.
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  message(FATAL_ERROR "The Debian package installs under /usr: configure with -DCMAKE_INSTALL_PREFIX=/usr")
endif()

set(LARKVANE_DEB_MAINTAINER "Larkvane maintainers <developers@larkvane.example>")
set(LARKVANE_DEB_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/larkvane)

# A native package: its changelog is the program's own, one entry for the
# version being packaged. The date follows SOURCE_DATE_EPOCH when it is set,
# so that the same sources give the same package.
string(TIMESTAMP LARKVANE_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(WRITE ${CMAKE_BINARY_DIR}/debian/changelog
  "larkvane (${PROJECT_VERSION}) stable; urgency=medium\n\n"
  "  * Larkvane ${PROJECT_VERSION}.\n\n"
  " -- ${LARKVANE_DEB_MAINTAINER}  ${LARKVANE_DEB_DATE}\n")
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/debian/changelog > ${CMAKE_BINARY_DIR}/debian/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz data/debian/copyright DESTINATION ${LARKVANE_DEB_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME larkvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${LARKVANE_DEB_MAINTAINER})
# Installed with DESTDIR under the real prefix: the menu entry is written with
# the path the launcher will have on the user's machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/larkvane/larkvane)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beyond the libraries the programs link (the Qt libraries, Qt Multimedia with
# its FFmpeg and GStreamer plugins, the WebEngine core with its resources,
# libcurl, QtKeychain): Chromium's helper process, the Japanese fonts every
# page and window needs, Qt's own Japanese texts (the text fields' menus, the
# file dialog), a sound server for Qt Multimedia's PulseAudio output, and
# libsecret, which QtKeychain loads only when it first asks the keyring for
# the mail password or the ntfy token.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6webenginecore6-bin, fonts-noto-cjk, qt6-translations-l10n, pulseaudio | pipewire-pulse, libsecret-1-0")
# A keyring that answers the Secret Service; without one the secrets are
# kept for the run only.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS gnome-keyring)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[warns shortly before online auctions end
Larkvane warns you shortly before an online auction ends. Browse
Yahoo!オークション and ビッダーズ in its own browser window, put an item into
one of ten timer slots, and at the lead time you choose a sound plays and a
window that stays on top tells you how long is left. It lives in the
notification area; all its text is in Japanese.

オークションの終了前に音とウィンドウでお知らせします。専用のブラウザーで
Yahoo!オークションやビッダーズを開き、商品を十個のタイマーのどれかに登録
すると、指定した時間だけ前に音が鳴り、常に手前に出るウィンドウが残り時間
を知らせます。通知領域に常駐します。]=])
include(CPack)
