#include "res/string_table.h"

#include <QCoreApplication>

QString LoadResourceString(int id) {
  switch (id) {
    case 101: return QCoreApplication::translate("StringTable", "关于 Velloran(&A)...");
    default: return QString();
  }
}
