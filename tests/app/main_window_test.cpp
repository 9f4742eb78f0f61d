// The main window driven through its real widgets, against the simulated
// sensor on a pseudo-terminal.
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QSettings>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QDir>
#include <QTemporaryDir>

#include "views/trend_plot.h"
#include <QFileInfo>
#include <QTableWidget>
#include <QTcpServer>
#include <QHelpEvent>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>
#include <set>

#include <QGroupBox>
#include <QScopeGuard>
#include "app/bus_scan_window.h"
#include "app/language.h"
#include "app/main_dialog.h"
#include "app/records_hub.h"
#include "dialogs/factory_info_dialog.h"
#include "dialogs/sensor_config_dialog.h"
#include "dialogs/sensor_signal_dialog.h"
#include "app/sensor_tool_app.h"
#include "dialogs/dialog_support.h"
#include "gui_helpers.h"
#include "link/device_table_file.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"
#include "serial/comm.h"
#include "serial/port_naming.h"
#include "sim_process.h"
#include "network_peers.h"
#include "transports/transport_factory.h"
#include "records/calibration_records_window.h"
#include "records/record_store.h"
#include "views/traffic_window.h"
#include "views/trend_window.h"
#include "views/views_hub.h"

namespace {

constexpr int kLinkTimeoutMs = 20000;

QString PortLink(int number) { return QDir(PortDirectory()).filePath(QStringLiteral("COM%1").arg(number)); }

QLineEdit* Box(QWidget* window, int id) { return ui::Control<QLineEdit>(window, id); }
QPushButton* Button(QWidget* window, int id) { return ui::Control<QPushButton>(window, id); }

QStringList PollFrames(const QList<int>& addresses) {
  QStringList frames;
  for (int a : addresses) frames << HexText(protocol::PollBlock(static_cast<std::uint8_t>(a)));
  return frames;
}

// Opens COMn and starts the automatic connection.
void OpenAndConnect(CMainDlg& window, int port = 1) {
  auto* list = ui::Control<QComboBox>(&window, 1000);
  list->setCurrentIndex(port - 1);
  QTest::mouseClick(Button(&window, 1002), Qt::LeftButton);
  QTest::mouseClick(Button(&window, 1026), Qt::LeftButton);
}

// Answers the next question box with `button`, keeping its text in *asked.
void AnswerNextQuestion(QMessageBox::StandardButton button, QString* asked) {
  auto* timer = new QTimer;
  timer->setInterval(20);
  QObject::connect(timer, &QTimer::timeout, [timer, button, asked] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->button(button)) return;
    timer->stop();
    timer->deleteLater();
    *asked = box->text();
    box->button(button)->click();
  });
  timer->start();
}

// What an operator reads in a window: its title, the texts of its labels,
// buttons, group boxes, combo lists, boxes, table headers, plot legends and
// tool tips, and its actions. Windows of their own inside it (a dialog with
// the window as parent) are read on their own.
QStringList ShownTexts(QWidget* window) {
  QStringList texts{window->windowTitle()};
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (w->window() != window && !qobject_cast<QMenu*>(w->window())) continue;
    texts << w->toolTip();
    if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model())
      for (int c = 0; c < view->model()->columnCount(); ++c)
        for (int role : {Qt::DisplayRole, Qt::ToolTipRole})
          texts << view->model()->headerData(c, Qt::Horizontal, role).toString();
    if (auto* plot = qobject_cast<views::TrendPlot*>(w)) {
      texts << plot->MarkLegend();
      for (auto side : {views::TrendPlot::Left, views::TrendPlot::Right})
        texts << plot->AxisTitle(side) << plot->LineName(side);
    }
    if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) texts << group->title();
    if (auto* box = qobject_cast<QLineEdit*>(w)) texts << box->text() << box->placeholderText();
    if (auto* list = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
  }
  for (QAction* action : window->findChildren<QAction*>()) texts << action->text() << action->toolTip();
  return texts;
}

// The texts that still hold a Chinese character or Chinese punctuation.
QStringList WithChinese(const QStringList& texts) {
  QStringList found;
  for (const QString& text : texts)
    for (QChar c : text) {
      const char16_t u = c.unicode();
      if ((u >= 0x3000 && u <= 0x303F) || (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF)) {
        found << text;
        break;
      }
    }
  return found;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initialDisplayAndWindowCommands();
  void systemLanguageFromTheEnvironment();
  void englishReachesEveryWindowAndSwitchesBack();
  void enterAndEscapeAskBeforeDroppingAWrite();
  void actionsBeforeTheirTimeAreRefused();
  void searchFindsTheSensorThenPollsOnlyIt();
  void abnormalStatusShowsInTheRedField();
  void checkErrorsFreezeTheValues();
  void anotherDeviceTypeIsUnknown();
  void silenceThenAByteResetsThePort();
  void closePortThenAnotherPortCarriesTheTraffic();
  void bindingMadeInTheDialogSurvivesARestart();
  void busScanListsTheLineAndSwitchesBetweenItsSensors();
  void networkBindingsCarryTheLink();
};

void MainWindowTest::systemLanguageFromTheEnvironment() {
  const char* const names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  QHash<QByteArray, QByteArray> saved;
  for (const char* name : names) saved.insert(name, qgetenv(name));
  const auto restore = qScopeGuard([&] {
    for (const char* name : names)
      saved.value(name).isNull() ? qunsetenv(name) : qputenv(name, saved.value(name));
  });
  using i18n::Language;
  struct Case {
    const char* language;
    const char* lcAll;
    const char* lang;
    Language expected;
  };
  const Case cases[] = {
      {"en", nullptr, nullptr, Language::English},
      {nullptr, nullptr, "C.UTF-8", Language::Chinese},
      {nullptr, nullptr, "zh_CN.UTF-8", Language::Chinese},
      {nullptr, nullptr, "en_GB.UTF-8", Language::English},
      {nullptr, nullptr, nullptr, Language::Chinese},
      // The first preference of LANGUAGE wins over the locale.
      {"zh_CN:en", nullptr, "en_US.UTF-8", Language::Chinese},
      {nullptr, "en_US.UTF-8", "zh_CN.UTF-8", Language::English},
      {nullptr, "POSIX", "en_US.UTF-8", Language::Chinese},
      // Names that merely begin with "en" are other languages.
      {nullptr, nullptr, "eo.UTF-8", Language::Chinese},
  };
  for (const Case& c : cases) {
    for (const char* name : names) qunsetenv(name);
    if (c.language) qputenv("LANGUAGE", c.language);
    if (c.lcAll) qputenv("LC_ALL", c.lcAll);
    if (c.lang) qputenv("LANG", c.lang);
    const QByteArray name = QByteArray(c.language ? c.language : "-") + ' ' + (c.lcAll ? c.lcAll : "-") + ' ' +
                            (c.lang ? c.lang : "-");
    QVERIFY2(i18n::SystemLanguage() == c.expected, name.constData());
  }
}

void MainWindowTest::englishReachesEveryWindowAndSwitchesBack() {
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QStringList chinese = ShownTexts(&window);
  QVERIFY(!WithChinese(chinese).isEmpty());

  // Its translators leave the application with it.
  i18n::Translators translators;
  translators.Apply(*qApp, i18n::Language::English);
  QCoreApplication::sendPostedEvents();

  // The window already open follows the switch.
  const std::pair<int, const char*> buttons[] = {{1002, "Open"}, {1026, "Auto connect"}, {1025, "Manual connect"}};
  for (const auto& [id, text] : buttons) QCOMPARE(Button(&window, id)->text(), QString::fromLatin1(text));
  QVERIFY2(WithChinese(ShownTexts(&window)).isEmpty(), qPrintable(WithChinese(ShownTexts(&window)).join(u'|')));

  // Windows opened later come up in English.
  const std::pair<const char*, std::function<QWidget*()>> windows[] = {
      {"configuration", [&] { return new CSensorConfigDlg(state); }},
      {"signal", [&] { return new CSensorSignalDlg(state); }},
      {"factory information", [&] { return new CFactoryInfoDlg(state); }}};
  for (const auto& [name, make] : windows) {
    std::unique_ptr<QWidget> sensorWindow(make());
    sensorWindow->show();
    QVERIFY2(QTest::qWaitForWindowExposed(sensorWindow.get()), name);
    const QStringList left = WithChinese(ShownTexts(sensorWindow.get()));
    QVERIFY2(left.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(name), left.join(u'|'))));
  }
  // The views and records windows, opened from their window-menu entries. The
  // records window reads its database in the background, so its texts are
  // given time to settle.
  auto* views = window.findChild<views::ViewsHub*>();
  auto* records = window.findChild<RecordsHub*>();
  QVERIFY(views && records);
  const std::pair<QAction*, std::function<QWidget*()>> menuWindows[] = {
      {views->TrendAction(), [&] { return views->Trend(); }},
      {views->TrafficAction(), [&] { return views->Traffic(); }},
      {records->CalibrationsAction(), [&] { return records->Calibrations(); }},
      {records->SettingsAction(), [&] { return records->Settings(); }},
      {window.WindowMenu()->findChild<QAction*>(QStringLiteral("deviceManagerAction")),
       [&]() -> QWidget* { return window.BusScanWindow(); }}};
  for (const auto& [action, shown] : menuWindows) {
    const QString name = action->text();
    QVERIFY2(WithChinese({name}).isEmpty(), qPrintable(name));
    action->trigger();
    QWidget* opened = shown();
    QVERIFY2(opened && QTest::qWaitForWindowExposed(opened), qPrintable(name));
    QTRY_VERIFY2_WITH_TIMEOUT(WithChinese(ShownTexts(opened)).isEmpty(),
                              qPrintable(name + QStringLiteral(": ") + WithChinese(ShownTexts(opened)).join(u'|')), 5000);
    opened->close();
  }

  // A refusal in a message box, with its title and button.
  QString boxTexts;
  auto* timer = new QTimer(&window);
  timer->setInterval(20);
  connect(timer, &QTimer::timeout, [timer, &boxTexts] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    timer->stop();
    boxTexts = ShownTexts(box).join(u'|');
    box->accept();
  });
  timer->start();
  QTest::mouseClick(Button(&window, 1026), Qt::LeftButton);
  QTRY_VERIFY_WITH_TIMEOUT(!boxTexts.isEmpty(), 10000);
  QVERIFY2(boxTexts.contains(QStringLiteral("Open the serial port first.")), qPrintable(boxTexts));
  QVERIFY2(WithChinese({boxTexts}).isEmpty(), qPrintable(boxTexts));

  // "Help" opens the English manual, with the Chinese one beside it.
  QList<QUrl> opened;
  window.SetUrlOpener([&opened](const QUrl& url) {
    opened << url;
    return true;
  });
  QTemporaryDir manualDir;
  for (const char* name : {"help.pdf", "help_en.pdf"}) {
    QFile manual(QDir(manualDir.path()).filePath(QLatin1String(name)));
    QVERIFY(manual.open(QIODevice::WriteOnly));
  }
  const QString previousDir = QDir::currentPath();
  QDir::setCurrent(manualDir.path());
  QTest::mouseClick(Button(&window, 1027), Qt::LeftButton);
  QDir::setCurrent(previousDir);
  QCOMPARE(opened.size(), 1);
  QCOMPARE(QFileInfo(opened.first().toLocalFile()).fileName(), QStringLiteral("help_en.pdf"));

  // Back to Chinese: every text as it was before the switch.
  translators.Apply(*qApp, i18n::Language::Chinese);
  QCoreApplication::sendPostedEvents();
  QCOMPARE(ShownTexts(&window), chinese);
}

void MainWindowTest::initialDisplayAndWindowCommands() {
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  // The records database is opened once the window is up, before any row,
  // so one that cannot be reached is told at the start of the session.
  auto* recordsHub = window.findChild<RecordsHub*>();
  QVERIFY(recordsHub && recordsHub->Store());
  QTRY_VERIFY_WITH_TIMEOUT(recordsHub->Store()->CurrentStats().available, 10000);

  QLineEdit* status = Box(&window, 1018);
  QCOMPARE(status->text(), QStringLiteral("未连接"));
  QCOMPARE(status->palette().color(QPalette::Text), QColor(18, 118, 18));
  QCOMPARE(Box(&window, 1031)->text(), QStringLiteral("无连接"));
  QCOMPARE(Box(&window, 1029)->text(), QStringLiteral("℃"));
  QCOMPARE(Box(&window, 1030)->text(), QStringLiteral("mg/L"));
  QCOMPARE(Box(&window, 1044)->text(), QStringLiteral("0"));
  QCOMPARE(Box(&window, 1016)->text(), QStringLiteral("0"));
  QVERIFY(window.windowFlags() & Qt::FramelessWindowHint);
  QCOMPARE(window.windowTitle(), QStringLiteral("Tarn 一体化荧光法溶解氧仪管理工具"));
  QVERIFY(!Button(&window, 1025)->isVisible());
  // Dialog units from the em height: about 590 pixels tall at 96 DPI (the
  // line height of a CJK face made it 837), inside 1366x768 less the task bar.
  QVERIFY2(window.height() <= 600 && window.width() <= 1366, qPrintable(QStringLiteral("%1x%2").arg(window.width()).arg(window.height())));
  // The value and text boxes' fonts meet the cell the template gives them
  // (height = ascent + descent, average width) at their own size, though they
  // are measured once per face at another.
  struct Cell {
    int id, height, width;
  };
  for (const Cell& cell : {Cell{1016, 66, 33}, Cell{1017, 66, 33}, Cell{1018, 33, 17}, Cell{1044, 33, 17}}) {
    const QFontMetricsF metrics(Box(&window, cell.id)->font());
    QVERIFY2(qAbs(metrics.ascent() + metrics.descent() - cell.height) <= 1.0, qPrintable(QString::number(cell.id)));
    QVERIFY2(qAbs(metrics.averageCharWidth() - cell.width) <= 1.0,
             qPrintable(QStringLiteral("%1: %2").arg(cell.id).arg(metrics.averageCharWidth())));
  }

  // Every control with a template id is reachable, with an accessible name.
  for (int id : {1000, 1001, 1002, 1005, 1006, 1008, 1016, 1017, 1018, 1019, 1025, 1026, 1027, 1029, 1030,
                 1031, 1036, 1037, 1038, 1044, 1053, 58112}) {
    QWidget* control = ui::FindControl(&window, id);
    QVERIFY2(control, qPrintable(QString::number(id)));
    QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(QString::number(id)));
  }

  // Without a caption bar the window moves by dragging its background.
  const QPoint before = window.pos();
  QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(6, 6));
  QTest::mouseMove(&window, QPoint(46, 26));
  QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(46, 26));
  QTRY_COMPARE(window.pos(), before + QPoint(40, 20));

  // The window menu ends with the About entry after a separator.
  const QList<QAction*> actions = window.WindowMenu()->actions();
  QVERIFY(actions.size() >= 2);
  QCOMPARE(actions.last()->text(), QStringLiteral("关于 Velloran(&A)..."));
  QVERIFY(actions.at(actions.size() - 2)->isSeparator());

  // The eleventh entry is COM11, chosen with the keyboard as an operator would.
  auto* list = ui::Control<QComboBox>(&window, 1000);
  QCOMPARE(list->count(), 15);
  QCOMPARE(list->itemText(14), QStringLiteral("COM15"));
  // The devices behind the entries are looked up when the operator reaches
  // for the list, not at start-up.
  QVERIFY(!list->itemData(10, Qt::ToolTipRole).isValid());
  list->setFocus();
  for (int i = 0; i < 10; ++i) QTest::keyClick(list, Qt::Key_Down);
  QCOMPARE(list->currentText(), QStringLiteral("COM11"));
  QCOMPARE(window.PortNumberSelected(), 11);
  QVERIFY(!list->itemData(10, Qt::ToolTipRole).toString().isEmpty());

  // Opening COM11 reaches the device bound to COM11.
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(11), {}), qPrintable(sim.Error()));
  // A later look at the list shows the device bound since.
  QTest::qWait(1100);
  QHelpEvent tip(QEvent::ToolTip, QPoint(5, 5), list->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(list, &tip);
  QCOMPARE(list->itemData(10, Qt::ToolTipRole).toString(), QFileInfo(PortLink(11)).canonicalFilePath());
  MessageBoxAnswerer answers;
  QTest::mouseClick(Button(&window, 1002), Qt::LeftButton);
  QVERIFY(window.Comm().PortOpen());
  QCOMPARE(window.Comm().CommPort(), short(11));
  QCOMPARE(Button(&window, 1002)->text(), QStringLiteral("已打开"));
  QVERIFY(!list->isEnabled());
  // A second press does nothing at all.
  QTest::mouseClick(Button(&window, 1002), Qt::LeftButton);
  QTest::qWait(100);
  QVERIFY(answers.texts.isEmpty());
  QVERIFY(window.Comm().PortOpen());
  QCOMPARE(Button(&window, 1002)->text(), QStringLiteral("已打开"));

  // Help opens help.pdf from the working directory, or nothing when it is missing.
  QList<QUrl> opened;
  window.SetUrlOpener([&opened](const QUrl& url) {
    opened << url;
    return true;
  });
  QTemporaryDir workDir;
  const QString previousDir = QDir::currentPath();
  QDir::setCurrent(workDir.path());
  answers.texts.clear();
  QTest::mouseClick(Button(&window, 1027), Qt::LeftButton);
  QVERIFY(opened.isEmpty());
  // Missing everywhere: the operator is told where it was looked for.
  QTRY_COMPARE(answers.texts.size(), 1);
  QVERIFY2(answers.texts.first().contains(QDir::toNativeSeparators(workDir.filePath(QStringLiteral("help.pdf")))),
           qPrintable(answers.texts.first()));
  QFile pdf(workDir.filePath(QStringLiteral("help.pdf")));
  QVERIFY(pdf.open(QIODevice::WriteOnly));
  pdf.close();
  answers.texts.clear();
  QTest::mouseClick(Button(&window, 1027), Qt::LeftButton);
  QCOMPARE(opened.size(), 1);
  QCOMPARE(opened.first().toLocalFile(), QFileInfo(pdf).absoluteFilePath());
  QVERIFY(answers.texts.isEmpty());
  // No viewer takes it: said so, with the file's path.
  window.SetUrlOpener([](const QUrl&) { return false; });
  QTest::mouseClick(Button(&window, 1027), Qt::LeftButton);
  QTRY_COMPARE(answers.texts.size(), 1);
  QVERIFY2(answers.texts.first().contains(QDir::toNativeSeparators(QFileInfo(pdf).absoluteFilePath())),
           qPrintable(answers.texts.first()));
  // Without one there, the copy an installation keeps in its documentation folder.
  window.SetUrlOpener([&opened](const QUrl& url) {
    opened << url;
    return true;
  });
  QVERIFY(pdf.remove());
  QFile installed(QDir(QCoreApplication::applicationDirPath())
                      .filePath(QStringLiteral(SENSORTOOL_DOC_FROM_BIN "/help.pdf")));
  QVERIFY(QDir().mkpath(QFileInfo(installed).absolutePath()));
  QVERIFY(installed.open(QIODevice::WriteOnly));
  installed.close();
  QTest::mouseClick(Button(&window, 1027), Qt::LeftButton);
  installed.remove();
  QDir::setCurrent(previousDir);
  QCOMPARE(opened.size(), 2);
  QCOMPARE(opened.last().toLocalFile(), QDir::cleanPath(QFileInfo(installed).absoluteFilePath()));

}

void MainWindowTest::enterAndEscapeAskBeforeDroppingAWrite() {
  // Enter ends the window through OK, Esc through cancel; with a write still
  // waiting for its echo they ask first, and "No" keeps the window.
  struct KeyCase {
    Qt::Key key;
    int result;
    bool writePending;
    QMessageBox::StandardButton answer;
  };
  for (const KeyCase& c : {KeyCase{Qt::Key_Return, int(QDialog::Accepted), false, QMessageBox::NoButton},
                           KeyCase{Qt::Key_Escape, int(QDialog::Rejected), false, QMessageBox::NoButton},
                           KeyCase{Qt::Key_Return, int(QDialog::Accepted), true, QMessageBox::Yes},
                           KeyCase{Qt::Key_Return, -1, true, QMessageBox::No},
                           KeyCase{Qt::Key_Escape, int(QDialog::Rejected), true, QMessageBox::Yes},
                           KeyCase{Qt::Key_Escape, -1, true, QMessageBox::No}}) {
    protocol::AppState otherState;
    if (c.writePending) protocol::QueueWrite(otherState.link, protocol::WriteFilter(1, 10), protocol::Filter);
    CMainDlg other(otherState);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QCOMPARE(other.LeavingLosesWork(), c.writePending);
    QSignalSpy finished(&other, &QDialog::finished);
    QString asked;
    if (c.writePending) AnswerNextQuestion(c.answer, &asked);
    QTest::keyClick(ui::Control<QComboBox>(&other, 1000), c.key);
    QCOMPARE(asked, c.writePending ? QStringLiteral("有未完成的写入，确定退出？") : QString());
    QCOMPARE(finished.count(), c.result < 0 ? 0 : 1);
    if (c.result >= 0) QCOMPARE(finished.first().first().toInt(), c.result);
    QCOMPARE(other.isVisible(), c.result < 0);
    QCOMPARE(otherState.link.pendingWriteReg, c.writePending ? protocol::Filter : 0);
  }
}

void MainWindowTest::actionsBeforeTheirTimeAreRefused() {
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  QTest::mouseClick(Button(&window, 1026), Qt::LeftButton);
  QTRY_COMPARE(answers.texts, QStringList{QStringLiteral("请先打开串口.")});
  QVERIFY(!window.findChild<QTimer*>(QStringLiteral("searchPollTimer"))->isActive());

  for (int id : {1036, 1037, 1038}) {
    answers.texts.clear();
    QTest::mouseClick(Button(&window, id), Qt::LeftButton);
    QTRY_COMPARE(answers.texts, QStringList{QStringLiteral("请先连接传感器.")});
    QVERIFY(window.isVisible());
  }

  // A port that cannot be opened is reported and the button stays usable.
  QFile::remove(PortLink(3));
  answers.texts.clear();
  ui::Control<QComboBox>(&window, 1000)->setCurrentIndex(2);
  QTest::mouseClick(Button(&window, 1002), Qt::LeftButton);
  QTRY_COMPARE(answers.texts.size(), 1);
  QVERIFY(!answers.texts.first().isEmpty());
  QVERIFY(!window.Comm().PortOpen());
  QVERIFY(!state.link.portOpen);
  QCOMPARE(Button(&window, 1002)->text(), QStringLiteral("打开"));
  QVERIFY(ui::Control<QComboBox>(&window, 1000)->isEnabled());
}

void MainWindowTest::searchFindsTheSensorThenPollsOnlyIt() {
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "5", "--do-value", "8.276", "--temperature", "-3.456",
                                   "--unit", "1"}),
           qPrintable(sim.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;

  // Every address the box shows while the search walks.
  std::set<QString> shown;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { shown.insert(Box(&window, 1044)->text()); });
  watch.start(20);

  OpenAndConnect(window);
  QCOMPARE(window.findChild<QTimer*>(QStringLiteral("searchPollTimer"))->interval(), 600);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("通信中"), kLinkTimeoutMs);
  QVERIFY(state.link.sensorConnected);
  QCOMPARE(state.link.currentAddress, 5);
  QCOMPARE(window.findChild<QTimer*>(QStringLiteral("searchPollTimer"))->interval(), 2000);

  // Two more polls arrive; all after the search went to address 5 only.
  QTRY_VERIFY_WITH_TIMEOUT(sim.ReceivedFrames().size() >= 8, kLinkTimeoutMs);
  const QStringList frames = sim.ReceivedFrames();
  QCOMPARE(frames.mid(0, 6), PollFrames({0, 1, 2, 3, 4, 5}));
  for (const QString& frame : frames.mid(6)) QCOMPARE(frame, PollFrames({5}).first());
  for (const char* address : {"1", "2", "3", "4", "5"}) QVERIFY2(shown.count(QString::fromLatin1(address)), address);

  // The display follows the sensor by the display rules.
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1016)->text(), QStringLiteral("8.27"), kLinkTimeoutMs);
  QCOMPARE(Box(&window, 1017)->text(), QStringLiteral("-3.45"));
  QCOMPARE(Box(&window, 1030)->text(), QStringLiteral("mg/L"));
  QCOMPARE(Box(&window, 1018)->text(), QStringLiteral("正常"));
  QCOMPARE(Box(&window, 1044)->text(), QStringLiteral("5"));
  QVERIFY(answers.texts.isEmpty());

  // A second automatic connection while connected does nothing.
  const int before = sim.ReceivedFrames().size();
  QTest::mouseClick(Button(&window, 1026), Qt::LeftButton);
  QCOMPARE(state.link.currentAddress, 5);
  QCOMPARE(window.findChild<QTimer*>(QStringLiteral("searchPollTimer"))->interval(), 2000);
  QVERIFY(sim.ReceivedFrames().size() - before <= 1);
}

void MainWindowTest::abnormalStatusShowsInTheRedField() {
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "1", "--status", "1"}), qPrintable(sim.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  OpenAndConnect(window);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1019)->text(), QStringLiteral("异常"), kLinkTimeoutMs);
  QCOMPARE(Box(&window, 1018)->text(), QStringLiteral(" "));
  QCOMPARE(Box(&window, 1019)->palette().color(QPalette::Text), QColor(255, 17, 17));
}

void MainWindowTest::checkErrorsFreezeTheValues() {
  // Every second reply has one bit flipped; the values shown are only ever
  // those the simulator sent in good replies.
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "1", "--do-value", "7.5", "--temperature", "21.25",
                                   "--flip-bit-every", "2", "--seed", "3"}),
           qPrintable(sim.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  std::set<QString> doShown;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] { doShown.insert(Box(&window, 1016)->text()); });
  watch.start(10);
  OpenAndConnect(window);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("校验错误"), 3 * kLinkTimeoutMs);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1016)->text(), QStringLiteral("7.5"), kLinkTimeoutMs);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("校验错误"), kLinkTimeoutMs);
  QCOMPARE(Box(&window, 1016)->text(), QStringLiteral("7.5"));
  QCOMPARE(Box(&window, 1017)->text(), QStringLiteral("21.25"));
  doShown.erase(QStringLiteral("0"));
  QCOMPARE(doShown, std::set<QString>{QStringLiteral("7.5")});
}

void MainWindowTest::anotherDeviceTypeIsUnknown() {
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "1", "--device-type", "3"}), qPrintable(sim.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  OpenAndConnect(window);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("未知设备"), kLinkTimeoutMs);
  QVERIFY(!state.link.sensorConnected);
  QCOMPARE(Box(&window, 1018)->text(), QStringLiteral("未连接"));
  // The search goes on past the foreign device.
  QTRY_VERIFY_WITH_TIMEOUT(state.link.currentAddress >= 3, kLinkTimeoutMs);
}

void MainWindowTest::silenceThenAByteResetsThePort() {
  // The sensor answers once, stays silent for five polls, then answers again:
  // the first bytes after the silence close and reopen the port.
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "1", "--silent-after", "1", "--silent-polls", "5"}),
           qPrintable(sim.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  bool closedSeen = false;
  bool oldValuesSeen = false;  // "无应答" with the last value still there, greyed
  QColor live;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (!window.Comm().PortOpen()) {
      closedSeen = true;
      QCOMPARE(Button(&window, 1002)->text(), QStringLiteral("打开"));
    }
    QLineEdit* value = Box(&window, 1016);
    if (live.isValid() && Box(&window, 1031)->text() == QStringLiteral("无应答") &&
        value->palette().color(QPalette::Text) != live && value->text() != QStringLiteral("0"))
      oldValuesSeen = true;
  });
  watch.start(20);
  OpenAndConnect(window);
  QTRY_VERIFY_WITH_TIMEOUT(state.link.sensorConnected, kLinkTimeoutMs);
  live = Box(&window, 1016)->palette().color(QPalette::Text);
  QTRY_VERIFY_WITH_TIMEOUT(closedSeen, 4 * kLinkTimeoutMs);
  QTRY_VERIFY_WITH_TIMEOUT(window.Comm().PortOpen() && !window.PortResetRunning(), kLinkTimeoutMs);
  QCOMPARE(Button(&window, 1002)->text(), QStringLiteral("已打开"));
  QCOMPARE(state.link.missedPolls, 0);
  // Polling goes on over the reopened port and the sensor answers again.
  const int before = sim.ReceivedFrames().size();
  QTRY_VERIFY_WITH_TIMEOUT(sim.ReceivedFrames().size() > before, kLinkTimeoutMs);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("通信中"), kLinkTimeoutMs);
  QVERIFY(oldValuesSeen);
  QCOMPARE(Box(&window, 1016)->palette().color(QPalette::Text), live);
  QVERIFY(answers.texts.isEmpty());
}

void MainWindowTest::closePortThenAnotherPortCarriesTheTraffic() {
  SimProcess first;
  SimProcess second;
  QVERIFY2(first.Start(PortLink(2), {"--address", "3"}), qPrintable(first.Error()));
  QVERIFY2(second.Start(PortLink(4), {"--address", "6"}), qPrintable(second.Error()));
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  OpenAndConnect(window, 2);
  QTRY_VERIFY_WITH_TIMEOUT(state.link.sensorConnected && state.link.currentAddress == 3, kLinkTimeoutMs);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1018)->text(), QStringLiteral("正常"), kLinkTimeoutMs);

  auto* close = window.WindowMenu()->findChild<QAction*>(QStringLiteral("closePortAction"));
  QVERIFY(close);
  QCOMPARE(close->text(), QStringLiteral("关闭串口"));
  close->trigger();
  QVERIFY(!window.Comm().PortOpen());
  QVERIFY(!state.link.portOpen && !state.link.sensorConnected && state.link.manualAddressing);
  QCOMPARE(Box(&window, 1031)->text(), QStringLiteral("无连接"));
  QCOMPARE(Box(&window, 1018)->text(), QStringLiteral("未连接"));
  QCOMPARE(Box(&window, 1016)->text(), QStringLiteral("0"));
  QCOMPARE(Button(&window, 1002)->text(), QStringLiteral("打开"));
  QVERIFY(ui::Control<QComboBox>(&window, 1000)->isEnabled());
  for (const char* name : {"searchPollTimer", "displayTimer", "writeTimer", "portResetWait"})
    QVERIFY2(!window.findChild<QTimer*>(QLatin1String(name))->isActive(), name);
  // Nothing more goes to the first sensor.
  const int firstBefore = first.ReceivedFrames().size();

  OpenAndConnect(window, 4);
  QVERIFY(window.Comm().PortOpen());
  QCOMPARE(window.Comm().CommPort(), short(4));
  QTRY_VERIFY_WITH_TIMEOUT(state.link.sensorConnected && state.link.currentAddress == 6, 2 * kLinkTimeoutMs);
  QTRY_VERIFY_WITH_TIMEOUT(second.ReceivedFrames().contains(PollFrames({6}).first()), kLinkTimeoutMs);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("通信中"), kLinkTimeoutMs);
  QCOMPARE(first.ReceivedFrames().size(), firstBefore);
  QVERIFY2(answers.texts.isEmpty(), qPrintable(answers.texts.join(QLatin1Char('|'))));
}

// The tooltip of a port list entry as the operator sees it: the devices are
// looked up when the list is pointed at.
static QString ToolTipOfEntry(CMainDlg& window, int index) {
  auto* list = ui::Control<QComboBox>(&window, 1000);
  QHelpEvent tip(QEvent::ToolTip, QPoint(5, 5), list->mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(list, &tip);
  return list->itemData(index, Qt::ToolTipRole).toString();
}

void MainWindowTest::bindingMadeInTheDialogSurvivesARestart() {
  // The simulator's pseudo-terminal, reached through COM9's link, is bound to
  // COM5 in the dialog; COM5 itself has no link.
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(9), {"--address", "2"}), qPrintable(sim.Error()));
  const QString device = QFileInfo(PortLink(9)).canonicalFilePath();
  QVERIFY(!device.isEmpty());
  QVERIFY(!QFileInfo(PortLink(5)).isSymLink());
  MessageBoxAnswerer answers;
  {
    protocol::AppState state;
    CMainDlg window(state);
    window.show();
    auto* settings = window.WindowMenu()->findChild<QAction*>(QStringLiteral("portSettingsAction"));
    QVERIFY(settings);
    bool shown = false;
    WhenModalShows([&](QWidget* dialog) {
      shown = true;
      auto* com5 = dialog->findChild<QComboBox*>(QStringLiteral("bindingCOM5"));
      if (com5) com5->setEditText(device);
      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
      auto* note = dialog->findChild<QLabel*>(QStringLiteral("permissionNote"));
      QVERIFY(note && note->text().contains(QStringLiteral("sudo usermod -aG dialout")));
    });
    settings->trigger();
    QVERIFY(shown);
    QCOMPARE(ToolTipOfEntry(window, 4), device);
    QCOMPARE(ui::Control<QComboBox>(&window, 1000)->itemText(4), QStringLiteral("COM5"));
  }
  // A new window, as after a restart: COM5 still leads to the simulator.
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  QCOMPARE(ToolTipOfEntry(window, 4), device);
  OpenAndConnect(window, 5);
  QTRY_VERIFY_WITH_TIMEOUT(state.link.sensorConnected && state.link.currentAddress == 2, kLinkTimeoutMs);
  QVERIFY(sim.ReceivedFrames().contains(PollFrames({2}).first()));
  QVERIFY2(answers.texts.isEmpty(), qPrintable(answers.texts.join(QLatin1Char('|'))));
  SavePortBinding(5, QString());
}

// The addresses a device list shows, top to bottom, with the serial number of each.
static QStringList ListedSensors(QTableWidget* list) {
  QStringList rows;
  for (int r = 0; r < list->rowCount(); ++r)
    rows << list->item(r, 0)->text() + QLatin1Char(':') + list->item(r, 1)->text();
  return rows;
}

void MainWindowTest::busScanListsTheLineAndSwitchesBetweenItsSensors() {
  // Three sensors on one line, serial numbers 100 + (address - 3), each with its own water.
  SimProcess sim;
  QVERIFY2(sim.Start(PortLink(1), {"--address", "3,7,12", "--serial", "100", "--steady"}), qPrintable(sim.Error()));
  QFile::remove(sensorlink::DeviceTablePath());
  protocol::AppState state;
  CMainDlg window(state);
  window.show();
  MessageBoxAnswerer answers;
  QTest::mouseClick(Button(&window, 1002), Qt::LeftButton);
  QVERIFY(window.Comm().PortOpen());

  // "设备管理…" opens the window without scanning; a narrow range keeps the scan short.
  window.WindowMenu()->findChild<QAction*>(QStringLiteral("deviceManagerAction"))->trigger();
  CBusScanWindow* devices = window.BusScanWindow();
  QVERIFY(devices && devices->isVisible());
  QCOMPARE(devices->windowTitle(), QStringLiteral("设备管理"));
  auto* list = devices->findChild<QTableWidget*>(QStringLiteral("deviceList"));
  QCOMPARE(list->rowCount(), 0);
  devices->SetScanRange(1, 13);
  QAction* scan = window.WindowMenu()->findChild<QAction*>(QStringLiteral("busScanAction"));
  QCOMPARE(scan->text(), QStringLiteral("扫描总线"));
  scan->trigger();
  QVERIFY(window.BusScanRunning());
  QVERIFY(devices->findChild<QPushButton*>(QStringLiteral("cancelScanButton"))->isVisible());
  // No scanned sensor's values pass for the connected sensor's.
  QCOMPARE(Box(&window, 1031)->text(), QStringLiteral("扫描中"));
  QVERIFY(!window.findChild<QTimer*>(QStringLiteral("displayTimer"))->isActive());
  QTRY_VERIFY_WITH_TIMEOUT(!window.BusScanRunning(), kLinkTimeoutMs);
  QCOMPARE(Box(&window, 1016)->text(), QStringLiteral("0"));
  QCOMPARE(ListedSensors(list), (QStringList{"3:100", "7:104", "12:109"}));
  // The version as the factory window shows it (register 1.1 shows 1.11); the file keeps the register.
  QCOMPARE(list->item(0, 2)->text(), QStringLiteral("1.11"));
  QCOMPARE(sim.ReceivedFrames().mid(0, 13), PollFrames({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}));
  std::vector<int> saved;
  const protocol::DeviceTable table = sensorlink::LoadDeviceTable();
  for (const auto& e : table.Entries()) saved.push_back(e.address);
  QCOMPARE(saved, (std::vector<int>{3, 7, 12}));
  QCOMPARE(table.Entries().front().softwareVersion, 1.1f);

  // Choosing 7 connects to it as the automatic connection would have.
  list->selectRow(1);
  QTest::mouseClick(devices->findChild<QPushButton*>(QStringLiteral("connectButton")), Qt::LeftButton);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("通信中"), kLinkTimeoutMs);
  QCOMPARE(Box(&window, 1044)->text(), QStringLiteral("7"));
  QVERIFY(state.link.sensorConnected && state.link.addressHeld);
  const auto shownDo = [&](std::uint8_t address) {
    return QString::fromStdString(protocol::FormatG6(protocol::DoValueShown(devices->Table().Find(address)->doValue)));
  };
  QVERIFY(shownDo(7) != shownDo(12));
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1016)->text(), shownDo(7), kLinkTimeoutMs);
  QCOMPARE(window.findChild<QTimer*>(QStringLiteral("searchPollTimer"))->interval(), 2000);

  // Enter on 12 switches, the port staying open; a pending write refuses the switch.
  state.link.pendingWriteReg = protocol::Filter;
  QVERIFY(window.ConnectToAddress(12).contains(QStringLiteral("写入")));
  state.link.pendingWriteReg = 0;
  QSignalSpy reopened(&window.Link(), &sensorlink::SensorLink::PortReopened);
  list->selectRow(2);
  QTest::keyClick(list, Qt::Key_Return);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1016)->text(), shownDo(12), kLinkTimeoutMs);
  QCOMPARE(Box(&window, 1044)->text(), QStringLiteral("12"));
  QCOMPARE(state.link.currentAddress, 12);
  QVERIFY(window.Comm().PortOpen());
  QCOMPARE(reopened.count(), 0);

  // Removing 3 keeps it out of the saved table; "保存…" writes the table's text where the operator says.
  list->selectRow(0);
  QTest::mouseClick(devices->findChild<QPushButton*>(QStringLiteral("removeButton")), Qt::LeftButton);
  QCOMPARE(ListedSensors(list), (QStringList{"7:104", "12:109"}));
  QCOMPARE(sensorlink::LoadDeviceTable().Entries().size(), std::size_t(2));
  QTemporaryDir dir;
  const QString exported = dir.filePath(QStringLiteral("devices.txt"));
  devices->SetSavePathChooser([&] { return exported; });
  QTest::mouseClick(devices->findChild<QPushButton*>(QStringLiteral("saveAsButton")), Qt::LeftButton);
  QFile file(exported);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray text = file.readAll();
  QCOMPARE(text.toStdString(), devices->Table().ToText());
  QVERIFY(text.contains("\t104\t") && text.contains("\t109\t") && !text.contains("\t100\t"));
  QVERIFY2(answers.texts.isEmpty(), qPrintable(answers.texts.join(QLatin1Char('|'))));
  window.ClosePort();
  QVERIFY(!window.BusScanWindow());
}

static quint16 FreeTcpPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

void MainWindowTest::networkBindingsCarryTheLink() {
  // COM3 bound in the dialog: first to a network address typed wrong, which
  // is refused with its reason, then to a device server in front of the simulator.
  const auto bindCom3 = [](CMainDlg& window, const QStringList& typed) {
    WhenModalShows([typed](QWidget* dialog) {
      auto* com3 = dialog->findChild<QComboBox*>(QStringLiteral("bindingCOM3"));
      for (const QString& text : typed) {
        com3->setEditText(text);
        QMetaObject::invokeMethod(dialog, "accept");
      }
    });
    window.WindowMenu()->findChild<QAction*>(QStringLiteral("portSettingsAction"))->trigger();
  };
  const auto guard = qScopeGuard([] { SavePortBinding(3, QString()); });
  MessageBoxAnswerer answers;
  protocol::AppState state;
  CMainDlg window(state);
  window.show();

  // Nothing listens: refused as a missing adapter is, once.
  const QString nobody = QStringLiteral("tcp://127.0.0.1:%1").arg(FreeTcpPort());
  bindCom3(window, {QStringLiteral("tcp://127.0.0.1"), nobody});
  QCOMPARE(answers.texts.size(), 1);
  QVERIFY2(answers.texts.first().contains(transports::PortSpecErrorText(transports::PortSpecError::MissingPort)),
           qPrintable(answers.texts.first()));
  QCOMPARE(SavedPortBinding(3), nobody);
  QCOMPARE(ToolTipOfEntry(window, 2), nobody);
  OpenAndConnect(window, 3);
  QVERIFY(!window.Link().State().portOpen);
  QCOMPARE(answers.texts.size(), 3);  // the refusal above, then the open's failure and "open the port first"

  if (!QFileInfo(QStringLiteral(SOCAT_PATH)).isExecutable()) QSKIP("socat is not installed: no device server");
  QTemporaryDir dir;
  const QString line = dir.filePath(QStringLiteral("line"));
  SimProcess sim;
  QVERIFY2(sim.Start(line, {"--address", "4", "--do-value", "6.5"}), qPrintable(sim.Error()));
  const quint16 port = FreeTcpPort();
  auto socat = StartSocat(SOCAT_PATH, port, line, kLinkTimeoutMs);
  QVERIFY(socat);
  bindCom3(window, {QStringLiteral("rtu+tcp://127.0.0.1:%1").arg(port)});
  answers.texts.clear();
  OpenAndConnect(window, 3);
  QTRY_VERIFY_WITH_TIMEOUT(state.link.sensorConnected && state.link.currentAddress == 4, kLinkTimeoutMs);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1016)->text(), QStringLiteral("6.5"), kLinkTimeoutMs);
  QVERIFY(!window.Comm().PortOpen());  // the serial component stays out of it
  // The device server goes away and comes back: said once, reopened by itself, as an unplugged adapter.
  socat.reset();
  QTRY_COMPARE_WITH_TIMEOUT(answers.texts.size(), 1, kLinkTimeoutMs);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("串口断开"), kLinkTimeoutMs);
  socat = StartSocat(SOCAT_PATH, port, line, kLinkTimeoutMs);
  QVERIFY(socat);
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1031)->text(), QStringLiteral("通信中"), kLinkTimeoutMs);
  QCOMPARE(answers.texts.size(), 1);
  answers.texts.clear();
  window.ClosePort();

  if (!QFileInfo(QStringLiteral(LIBMODBUS_GATEWAY_PATH)).isExecutable()) QSKIP("no libmodbus gateway was built");
  SimProcess gateway(LIBMODBUS_GATEWAY_PATH, GatewayRegisters());
  const std::string gatewayPort = gateway.WaitReady(kLinkTimeoutMs);
  QVERIFY2(!gatewayPort.empty(), gateway.Stderr().c_str());
  bindCom3(window, {QStringLiteral("tcp://127.0.0.1:%1").arg(QString::fromStdString(gatewayPort))});
  QTest::mouseClick(Button(&window, 1002), Qt::LeftButton);
  QVERIFY(window.ConnectToAddress(9).isEmpty());
  // The gateway's 7.89 as the display rules cut it.
  QTRY_COMPARE_WITH_TIMEOUT(Box(&window, 1016)->text(),
                            QString::fromStdString(protocol::FormatG6(protocol::DoValueShown(7.89f))), kLinkTimeoutMs);
  QCOMPARE(Box(&window, 1044)->text(), QStringLiteral("9"));
  QVERIFY2(answers.texts.isEmpty(), qPrintable(answers.texts.join(QLatin1Char('|'))));
}

int main(int argc, char* argv[]) {
  // A private port directory, so COMn links made here never meet a real port,
  // and a private settings folder, so port bindings of this user never apply.
  static QTemporaryDir runtimeDir;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  static QTemporaryDir settingsDir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
  // The main window keeps records: in a folder of this run, never the user's.
  qputenv("XDG_DATA_HOME", QDir(settingsDir.path()).filePath(QStringLiteral("data")).toLocal8Bit());
  QApplication app(argc, argv);
  CSensorToolApp::ApplyDialogLook(app);
  MainWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "main_window_test.moc"
