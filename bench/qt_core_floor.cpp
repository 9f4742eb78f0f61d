// bench-qt-core-floor: a Qt Core program linking what sensortool-cli links
// (Qt Core, Qt Serial Port) that makes its application object, touches the
// serial port class and ends: the least any Qt command-line client costs,
// beside which the client's own work is judged.
#include <QCoreApplication>
#include <QSerialPort>

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QSerialPort port;
  return port.isOpen() ? 1 : 0;
}
