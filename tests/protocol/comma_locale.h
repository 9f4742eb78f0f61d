#pragma once
#include <clocale>

// Switches the C library to a German locale (decimal comma) under the name the
// running C library knows it by: glibc (compiled into the build tree by the
// test set-up), the Universal CRT, then the older msvcrt that MinGW links.
// Returns false when none is available.
inline bool SetCommaLocale() {
  for (const char* name : {"de_DE.UTF-8", "de-DE", "German_Germany.1252"})
    if (std::setlocale(LC_ALL, name) != nullptr) return true;
  return false;
}
