#include <QApplication>

#include "app/sensor_tool_app.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  CSensorToolApp sensorTool(app);
  return sensorTool.Run();
}
