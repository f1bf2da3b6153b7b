# Builds the Debian package of the build in ${BUILD_DIR} with CPack, unpacks
# it into a scratch root and checks its name, its dependencies and the
# layout it installs under /usr.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack -G DEB failed (${rc}):\n${out}")
endif()

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE arch
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(deb ${WORK}/tressel_${VERSION}_${arch}.deb)
if(NOT EXISTS ${deb})
  file(GLOB made ${WORK}/*.deb)
  message(FATAL_ERROR "expected ${deb}, cpack wrote: ${made}")
endif()

execute_process(COMMAND dpkg-deb -f ${deb} Package Version Depends
                OUTPUT_VARIABLE fields RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb cannot read ${deb}")
endif()
foreach(want "Package: tressel" "Version: ${VERSION}")
  string(FIND "${fields}" "${want}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "control lacks '${want}':\n${fields}")
  endif()
endforeach()
# The libraries the programs link, and the plugins Qt loads (the platform's
# and the SQLite driver the history needs).
foreach(dep libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6multimedia6 libqt6dbus6
            libqt6sql6 libstdc\\+\\+6 libc6 qt6-qpa-plugins libqt6sql6-sqlite)
  if(NOT fields MATCHES "Depends:.*[ ,]${dep}([ ,(]|\n|$)")
    message(FATAL_ERROR "Depends lacks ${dep}:\n${fields}")
  endif()
endforeach()

set(root ${WORK}/root)
execute_process(COMMAND dpkg-deb -x ${deb} ${root} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "dpkg-deb -x failed (${rc})")
endif()
set(PREFIX ${root}/usr)
set(CMAKE_INSTALL_PREFIX /usr)
include(${CMAKE_CURRENT_LIST_DIR}/check_layout.cmake)

# Nothing outside /usr, and nothing of the build (tests, benchmark) in it.
file(GLOB top RELATIVE ${root} ${root}/*)
if(NOT top STREQUAL "usr")
  message(FATAL_ERROR "the package installs outside /usr: ${top}")
endif()
file(GLOB programs RELATIVE ${root}/usr/bin ${root}/usr/bin/*)
list(SORT programs)
if(NOT programs STREQUAL "tressel;tressel-gateway;tressel-start")
  message(FATAL_ERROR "unexpected programs in /usr/bin: ${programs}")
endif()
