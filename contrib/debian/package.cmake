# The Debian packages: cpack -G DEB in the build folder (./package does it all). Everything
# installed without a component is the tool's package; the command line (component "cli")
# and the Python module (component "python") are packages of their own.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qe7204-tool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The QE7204 tool developers <qe7204-tool@example.org>")
set(CPACK_PACKAGE_VENDOR "The QE7204 tool developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure and watch the QE7204 magnetic rotary encoder")
# Lines as they appear in the package's description, each under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "A desktop tool for engineers who configure and watch the QE7204 magnetic"
  "rotary encoder chip through its USB adapter: it shows and changes every"
  "setting, stores the settings in the chip's EEPROM, sets the bus address,"
  "zero position and hysteresis, and shows the live position, speed, magnet"
  "status and AGC level, also on an analogue dial."
  "With --simulate it runs on a simulated adapter, without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Unspecified)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME ${CPACK_PACKAGE_NAME})
set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_UNSPECIFIED_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://qe7204-tool.example.org/)
# Libraries the programs link come from dpkg-shlibdeps; these are loaded at run time: Qt's
# platform plugins, and the fonts the windows are laid out for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS
  "qt6-qpa-plugins, fonts-dejavu-core, fonts-liberation")
set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_RECOMMENDS "fonts-wine")
set(udev_rule_scripts ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/postrm)

if(TARGET qe7204ctl)
  # The command line alone, for station PCs: no widgets, charts or fonts. It holds the udev
  # rule, and the tool's package depends on it.
  list(APPEND CPACK_COMPONENTS_ALL cli)
  set(CPACK_DEBIAN_CLI_PACKAGE_NAME qe7204ctl)
  set(CPACK_DEBIAN_CLI_FILE_NAME DEB-DEFAULT)
  string(JOIN "\n" CPACK_DEBIAN_CLI_DESCRIPTION
    "qe7204ctl, the command line of the QE7204 tool, without its window: every"
    "setting, PROG, .qcf files, the live readout as CSV, the magnet check and"
    "'program', which does one unit of a production line in one run and keeps"
    "its record. For station PCs; the qe7204-tool package adds the window.")
  set(CPACK_DEBIAN_CLI_PACKAGE_CONTROL_EXTRA ${udev_rule_scripts})
  # Unit records: SQLite files with the package, a PostgreSQL server with its driver.
  set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS "libqt6sql6-sqlite")
  set(CPACK_DEBIAN_CLI_PACKAGE_RECOMMENDS "libqt6sql6-psql")
  string(APPEND CPACK_DEBIAN_UNSPECIFIED_PACKAGE_DEPENDS
    ", qe7204ctl (= ${CPACK_PACKAGE_VERSION})")
else()
  set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_CONTROL_EXTRA ${udev_rule_scripts})
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

if(TARGET qe7204_python)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-qe7204)
  set(CPACK_DEBIAN_PYTHON_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # CPack puts the summary above, the same for both packages.
  string(JOIN "\n" CPACK_DEBIAN_PYTHON_DESCRIPTION
    "The Python 3 module qe7204 for test and production engineers: the same chip"
    "core as the qe7204-tool window and qe7204ctl, with one adapter held for a"
    "whole station run, every setting, PROG, .qcf files, the live readout, the"
    "magnet check and a simulated adapter. Failures are exceptions.")
  # The extension is built for this Python 3 (its file name carries the version).
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${QE7204_PYTHON_VERSION}~), python3 (<< ${QE7204_PYTHON_NEXT_VERSION})")
  # The udev rule that gives users the adapter comes with the tool's package.
  set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS ${CPACK_PACKAGE_NAME})
endif()

include(CPack)
