// The calibration records window over a real SQLite file: filters,
// selection, and the CSV and PDF certificate it exports.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QItemSelectionModel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>

#include "records/calibration_records_window.h"
#include "records/record_settings_dialog.h"
#include "records/record_store.h"

namespace {

using namespace records;

const QDateTime kT0 = QDateTime(QDate(2026, 3, 14), QTime(8, 0), Qt::UTC);

CalibrationRecord Calibration(quint32 serial, int day, const QString& kind, double airAfter) {
  CalibrationRecord c;
  c.kind = kind;
  c.serial = serial;
  c.address = 1;
  c.operatorName = QStringLiteral("lab");
  c.time = kT0.addDays(day);
  c.before = SensorSnapshot{95.5, 0, 20.0, 101.3, 62.35, 27.8};
  c.after = SensorSnapshot{100.0, 0, 20.1, 101.3, 62.35, airAfter};
  c.stable = day != 2;
  c.stabilityText = c.stable ? QStringLiteral("稳定") : QStringLiteral("未稳定（氧值波动 0.8）");
  return c;
}

QString Output(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  p.waitForFinished(60000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

void Select(QTableWidget* table, const QList<int>& rows) {
  table->clearSelection();
  for (int r : rows)
    table->selectionModel()->select(table->model()->index(r, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

TEST(CalibrationRecordsWindow, FiltersSelectionAndExports) {
  QTemporaryDir dir;
  DatabaseTarget t;
  t.file = dir.filePath(QStringLiteral("records.sqlite"));
  {
    RecordStore store(t);
    store.AddCalibration(Calibration(20240001u, 0, QStringLiteral("zero"), 27.8));
    store.AddCalibration(Calibration(20240001u, 2, QStringLiteral("air"), 27.512));
    store.AddCalibration(Calibration(20240002u, 1, QStringLiteral("factory"), 27.0));
    ASSERT_TRUE(store.WaitUntilWritten(30000));
  }
  CalibrationRecordsWindow window(t);
  auto* table = window.findChild<QTableWidget*>();
  ASSERT_NE(table, nullptr);
  QSignalSpy loaded(&window, &CalibrationRecordsWindow::Loaded);

  const struct {
    quint32 serial;
    int rows;
  } filters[] = {{0, 3}, {20240001u, 2}, {20240002u, 1}, {99u, 0}};
  for (const auto& f : filters) {
    window.ShowSerial(f.serial);
    ASSERT_TRUE(loaded.wait(30000)) << f.serial;
    EXPECT_EQ(window.Rows().size(), f.rows) << f.serial;
    EXPECT_EQ(table->rowCount(), f.rows) << f.serial;
  }

  window.ShowSerial(20240001u);
  ASSERT_TRUE(loaded.wait(30000));
  ASSERT_EQ(table->rowCount(), 2);
  EXPECT_EQ(table->item(1, 1)->text(), QStringLiteral("空气标定"));
  EXPECT_EQ(table->item(1, 4)->text(), QStringLiteral("未稳定（氧值波动 0.8）"));
  EXPECT_EQ(table->item(1, 6)->text(), QStringLiteral("100 %"));

  QString error;
  Select(table, {});
  EXPECT_FALSE(window.ExportCsv(dir.filePath(QStringLiteral("none.csv")), &error));
  EXPECT_FALSE(error.isEmpty());
  Select(table, {0, 1});
  const QString csvPath = dir.filePath(QStringLiteral("two.csv"));
  ASSERT_TRUE(window.ExportCsv(csvPath, &error)) << error.toStdString();
  QFile csv(csvPath);
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QStringList lines = QString::fromUtf8(csv.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_TRUE(lines[2].contains(QStringLiteral("27.512")));
  EXPECT_FALSE(window.ExportCertificate(dir.filePath(QStringLiteral("two.pdf")), &error));  // one at a time

  Select(table, {1});
  const QString pdf = dir.filePath(QStringLiteral("certificate.pdf"));
  ASSERT_TRUE(window.ExportCertificate(pdf, &error)) << error.toStdString();
  QFile file(pdf);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.read(5) == "%PDF-");
  if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty()) {
    ADD_FAILURE() << "pdfinfo (Debian package poppler-utils) missing: the certificate's content is not checked";
    return;
  }
  EXPECT_TRUE(Output(QStringLiteral("pdfinfo"), {pdf}).contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
  // The CJK font maps some characters to their radicals (气 to ⽓): compare
  // in compatibility form.
  const QString text =
      Output(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).normalized(QString::NormalizationForm_KC);
  for (const char* expected : {"标定证书", "20240001", "空气标定", "lab", "未稳定", "27.512", "95.5", "101.3"})
    EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n" << text.toStdString();

  EXPECT_FALSE(window.ExportCertificate(dir.filePath(QStringLiteral("no/such/folder/c.pdf")), &error));
  EXPECT_FALSE(error.isEmpty());
}

TEST(CalibrationRecordsWindow, UnreachableServerIsToldNotHidden) {
  DatabaseTarget t;
  QString error;
  ASSERT_TRUE(ParseDatabaseUrl(QStringLiteral("postgresql://lab@%2Fnonexistent%2Fsocket/records"), &t, &error));
  CalibrationRecordsWindow window(t);
  QSignalSpy loaded(&window, &CalibrationRecordsWindow::Loaded);
  window.Refresh();
  ASSERT_TRUE(loaded.wait(30000));
  EXPECT_TRUE(window.Rows().isEmpty());
  EXPECT_TRUE(window.StatusText().startsWith(QStringLiteral("无法读取记录"))) << window.StatusText().toStdString();
}

// The settings window: what it accepts, keeps, and how a connection test ends.
TEST(RecordSettingsDialog, AcceptsKeepsAndTestsTheChoice) {
  QTemporaryDir dir;
  const QString sqlite = dir.filePath(QStringLiteral("records.sqlite"));
  const struct {
    QString url;
    bool accepted;
    bool connects;
  } cases[] = {
      {QString(), true, true},  // the default file, in the test's own data folder
      {QStringLiteral("postgresql://lab@%2Fnonexistent%2Fsocket/records"), true, false},
      {QStringLiteral("postgresql://lab@host"), false, false},  // no database name
      {QStringLiteral("sqlite://") + sqlite, true, true},
  };
  for (const auto& c : cases) {
    RecordSettingsDialog dialog;
    dialog.SetDatabaseUrl(c.url);
    EXPECT_EQ(dialog.DatabaseUrl(), c.url.trimmed());
    QSignalSpy finished(&dialog, &RecordSettingsDialog::TestFinished);
    dialog.TestConnection();
    ASSERT_TRUE(finished.count() == 1 || finished.wait(30000)) << c.url.toStdString();
    EXPECT_EQ(finished.first().at(0).toBool(), c.connects) << c.url.toStdString() << " " << dialog.ResultText().toStdString();
    EXPECT_FALSE(dialog.ResultText().isEmpty());
    dialog.accept();
    EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted) << c.url.toStdString();
    if (c.accepted) EXPECT_EQ(SavedDatabaseUrl(), c.url);
    else EXPECT_NE(SavedDatabaseUrl(), c.url);
  }
  EXPECT_TRUE(QFile::exists(sqlite));
}

}  // namespace

int main(int argc, char** argv) {
  // Settings and the default database stay inside the test's own folders.
  QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
  qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
  // Listing the tests at build time happens without a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
