// The floor of the start-up and memory figures: the least a Qt Widgets
// program does to show one empty dialog of the main window's size.
//   bench-floor-dialog --size WxH --first-paint   prints "FIRST_PAINT <ns> <w> <h>" and ends
//   bench-floor-dialog --size WxH                 stays up until its standard input ends
//   bench-floor-dialog --size WxH --tick-ms N     the same with an idle timer of period N
//                                                 (what a timer of that period costs alone)
//   bench-floor-dialog ... --label TEXT           the dialog shows TEXT in one label (what the
//                                                 first text, fonts included, costs alone)
//   bench-floor-dialog ... --font F1,F2,...       the dialog's font: the first of these
//                                                 families installed, at 9 points
#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

#include "app/first_paint_reporter.h"
#include "sensortool_version.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("bench-floor-dialog"));
  QCoreApplication::setApplicationVersion(QStringLiteral(SENSORTOOL_VERSION));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("The least a Qt Widgets program does to show one dialog."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Size of the dialog."),
                                      QStringLiteral("WxH"), QStringLiteral("640x480"));
  const QCommandLineOption firstPaintOption(QStringLiteral("first-paint"),
                                            QStringLiteral("Report the first paint and end."));
  const QCommandLineOption tickOption(QStringLiteral("tick-ms"), QStringLiteral("An idle timer of this period."),
                                      QStringLiteral("N"));
  const QCommandLineOption labelOption(QStringLiteral("label"), QStringLiteral("Show TEXT in one label."),
                                       QStringLiteral("TEXT"));
  const QCommandLineOption fontOption(QStringLiteral("font"),
                                      QStringLiteral("The dialog's font families, in order of preference (9 pt)."),
                                      QStringLiteral("F1,F2,..."));
  parser.addOptions({sizeOption, firstPaintOption, tickOption, labelOption, fontOption});
  parser.process(app);  // --help, --version and unknown options end here

  int width = 0, height = 0;
  if (std::sscanf(qPrintable(parser.value(sizeOption)), "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
    std::fprintf(stderr, "bad --size %s\n", qPrintable(parser.value(sizeOption)));
    return 2;
  }
  int tickMs = 0;
  if (parser.isSet(tickOption)) {
    bool ok = false;
    tickMs = parser.value(tickOption).toInt(&ok);
    if (!ok || tickMs <= 0) {
      std::fprintf(stderr, "bad --tick-ms %s\n", qPrintable(parser.value(tickOption)));
      return 2;
    }
  }
  const bool firstPaint = parser.isSet(firstPaintOption);
  const QString label = parser.value(labelOption);

  QDialog dialog;
  if (parser.isSet(fontOption)) {
    QFont font;
    font.setFamilies(parser.value(fontOption).split(QLatin1Char(',')));
    font.setPointSize(9);
    dialog.setFont(font);
  }
  dialog.resize(width, height);
  if (!label.isEmpty()) (new QLabel(label, &dialog))->move(10, 10);
  if (firstPaint) dialog.installEventFilter(new FirstPaintReporter(&dialog));

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char buffer[256];
    if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
  });
  input.setEnabled(!firstPaint);

  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &dialog, [] {});
  if (tickMs > 0) tick.start(tickMs);

  dialog.show();
  return app.exec();
}
