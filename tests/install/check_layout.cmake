# Checks that a tree installed under ${PREFIX} holds what a desktop needs:
# the programs, the launcher, the desktop entry with the icon it names, the
# whisper sound the launcher copies and the module that plays it. Included by the install and the
# package checks.
include(GNUInstallDirs)
set(bin ${PREFIX}/${CMAKE_INSTALL_BINDIR})
set(share ${PREFIX}/${CMAKE_INSTALL_DATADIR})
foreach(f ${bin}/tressel ${bin}/tressel-gateway ${bin}/tressel-start
          ${share}/applications/tressel.desktop ${share}/tressel/whisper.wav
          ${PREFIX}/lib/tressel/tressel-sound.so)
  if(NOT EXISTS ${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

# The desktop entry must start the launcher and name an icon that exists in
# the theme at the sizes a menu and a task bar ask for.
file(STRINGS ${share}/applications/tressel.desktop entry)
list(FIND entry "Exec=tressel-start" exec_at)
if(exec_at EQUAL -1)
  message(FATAL_ERROR "the desktop entry does not start tressel-start")
endif()
string(REGEX MATCH "Icon=[^;]*" icon_line "${entry}")
string(REPLACE "Icon=" "" icon "${icon_line}")
foreach(size 16 32 48 256)
  set(png ${share}/icons/hicolor/${size}x${size}/apps/${icon}.png)
  if(NOT EXISTS ${png})
    message(FATAL_ERROR "icon '${icon}' missing at ${size}x${size}")
  endif()
  file(READ ${png} head LIMIT 8 HEX)
  if(NOT head STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${png} is not a PNG file")
  endif()
endforeach()
file(READ ${share}/tressel/whisper.wav riff LIMIT 12 HEX)
if(NOT riff MATCHES "^52494646........57415645$")
  message(FATAL_ERROR "whisper.wav is not a RIFF/WAVE file")
endif()
