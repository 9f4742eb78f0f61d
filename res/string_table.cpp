#include "res/string_table.h"

QString LoadResourceString(int id) {
  switch (id) {
    case 101: return QStringLiteral("关于 Velloran(&A)...");
    default: return QString();
  }
}
