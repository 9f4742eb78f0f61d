#pragma once
#include <QString>

// The program's string table: texts the windows load by id.
QString LoadResourceString(int id);
