# SPDX-License-Identifier: MIT
cmake_minimum_required(VERSION 3.20)
# Checks the direction of the layers, core <- io and core <- chart <- render
# <- window <- app, with io below window too: every project header that a
# layer includes belongs to that layer or one below it; core, io and chart
# include no Qt header, and render none of QtWidgets. Run as:
# cmake -DSOURCE_DIR=... -P check_layers.cmake
set(layers core io chart render window)
# The layers each may include.
set(allowed_core core)
set(allowed_io core io)
set(allowed_chart core chart)
set(allowed_render core chart render)
set(allowed_window core io chart render window)

# Qt's widget classes, and the Qt modules that only a window may use.
set(widget_pattern "#include <(QtWidgets/|Q(Widget|Application|MainWindow|Dialog|Label|MessageBox|Menu|MenuBar|Action|PushButton|TableView|HeaderView|StatusBar|TabWidget|FileDialog|PlainTextEdit|ProgressDialog|Frame|Layout|VBoxLayout|HBoxLayout|AbstractItemView)>)")

set(failures "")
foreach(layer ${layers})
  file(GLOB_RECURSE files "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
  foreach(file ${files})
    file(STRINGS "${file}" includes REGEX "^#include ")
    foreach(line ${includes})
      if(line MATCHES "^#include \"([a-z]+)/")
        set(target_layer "${CMAKE_MATCH_1}")
        if(target_layer IN_LIST layers AND NOT target_layer IN_LIST allowed_${layer})
          list(APPEND failures "${file}: ${line} (${layer} may not include ${target_layer})")
        endif()
      endif()
      if(layer MATCHES "^(core|io|chart)$" AND line MATCHES "#include <Q")
        list(APPEND failures "${file}: ${line} (${layer} has no Qt)")
      endif()
      if(layer STREQUAL "render" AND line MATCHES "${widget_pattern}")
        list(APPEND failures "${file}: ${line} (render has no Widgets)")
      endif()
    endforeach()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
message(STATUS "Every include follows the layers.")
