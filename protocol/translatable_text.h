#pragma once

// Marks an operator's text of the Qt-free libraries for Qt's translation
// tools (lupdate reads this macro as QT_TRANSLATE_NOOP) while leaving it a
// plain UTF-8 literal here: the libraries stay free of Qt and the command-line
// client keeps its texts, and a window translates the text where it shows it
// (ui::SensorText). Every such text shares one context, the first argument.
#define SENSOR_TEXT(context, text) text
