// bench-qt-core-floor: a Qt Core program linking what sensortool-cli links
// (Qt Core, Qt Serial Port, Qt Network for the network ports, Qt Sql for the
// records) that makes its application object, touches the serial port class
// and ends: the least a Qt command-line client with these parts costs, beside
// which the client's own work is judged.
#include <QCoreApplication>
#include <QSerialPort>
#include <QSqlDatabase>
#include <QTcpSocket>

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QSerialPort port;
  // Never taken (no arguments are given): it only keeps the libraries linked,
  // as the client has them.
  if (argc > 99) {
    QTcpSocket socket;
    return QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")) ? 2 : 3;
  }
  return port.isOpen() ? 1 : 0;
}
