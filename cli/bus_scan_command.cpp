#include "cli/bus_scan_command.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cstdio>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_texts.h"
#include "cli/stop_requests.h"
#include "link/device_table_file.h"
#include "link/sensor_link.h"
#include "protocol/display_rules.h"
#include "records/reading_record.h"
#include "uitexts/link_texts.h"

namespace cli {

namespace {

void Err(const QString& text) {
  std::fputs(text.toUtf8().constData(), stderr);
  std::fflush(stderr);
}

// Progress lines off a terminal: one every this many addresses, so a log
// shows the scan moving without 247 lines.
constexpr int kProgressLineEvery = 25;

QStringList ListHeader() {
  return {CliTexts::tr("地址"), CliTexts::tr("序列号"), CliTexts::tr("软件版本"), CliTexts::tr("溶解氧值")};
}

}  // namespace

BusScanCommand::BusScanCommand(sensorlink::SensorLink& link, std::uint8_t lastAddress, bool json, bool progressOnTty,
                               QObject* parent)
    : QObject(parent),
      scan_(link, [] { return records::IsoTime(QDateTime::currentDateTime()); }),
      lastAddress_(lastAddress),
      json_(json),
      progressOnTty_(progressOnTty) {
  connect(&scan_, &sensorlink::BusScan::Progress, this, &BusScanCommand::OnProgress);
  connect(&scan_, &sensorlink::BusScan::SensorFound, this, &BusScanCommand::OnSensorFound);
  connect(&scan_, &sensorlink::BusScan::Finished, this, &BusScanCommand::OnScanFinished);
}

BusScanCommand::~BusScanCommand() = default;

bool BusScanCommand::Start() {
  stops_ = std::make_unique<StopRequests>(this);
  connect(stops_.get(), &StopRequests::Requested, &scan_, &sensorlink::BusScan::Cancel);
  return scan_.Start(protocol::kScanFirstAddress, lastAddress_, protocol::kScanWaitMs);
}

void BusScanCommand::Abandon(const QString& reason) {
  if (done_) return;
  EndProgressLine();
  Err(reason + QLatin1Char('\n'));
  lineLost_ = true;
  scan_.Cancel();
}

void BusScanCommand::OnProgress(int asked, int total, std::uint8_t address) {
  if (done_ || asked >= total) return;
  const QString text = CliTexts::tr("扫描中：地址 %1（%2/%3）").arg(address).arg(asked + 1).arg(total);
  if (progressOnTty_) {
    Err(QLatin1Char('\r') + text + QStringLiteral("   "));
    progressOpen_ = true;
  } else if (asked % kProgressLineEvery == 0 || asked + 1 == total) {
    Err(text + QLatin1Char('\n'));
  }
}

void BusScanCommand::OnSensorFound(const protocol::DeviceEntry& entry) {
  EndProgressLine();
  Err(CliTexts::tr("在地址 %1 找到传感器，序列号 %2\n").arg(entry.address).arg(entry.serialNumber));
}

void BusScanCommand::OnScanFinished(bool cancelled) {
  EndProgressLine();
  if (lineLost_) {
    Conclude(kExitFailed);
    return;
  }
  if (cancelled) {
    Err(CliTexts::tr("扫描已取消：已找到 %n 个传感器\n", nullptr, static_cast<int>(scan_.Found().size())));
    Conclude(kExitCancelled);
    return;
  }
  if (scan_.Found().empty()) Err(SensorText(ui_texts::kNoDeviceFound) + QLatin1Char('\n'));
  Conclude(scan_.Found().empty() ? kExitFailed : kExitOk);
}

void BusScanCommand::Conclude(int exitCode) {
  if (done_) return;
  done_ = true;
  stops_.reset();
  const std::vector<protocol::DeviceEntry>& found = scan_.Found();
  if (!found.empty()) {
    // The scan's answer is the list; a table that cannot be saved is worth a
    // warning, not a failed scan.
    QString error;
    if (!RememberDevices(found, sensorlink::DeviceTablePath(), &error))
      Err(QStringLiteral("sensortool-cli: ") +
          CliTexts::tr("警告：设备表未保存（%1）：%2\n").arg(sensorlink::DeviceTablePath(), error));
  }
  std::string reason;
  const std::string list = json_ ? DeviceListJson(found) : found.empty() ? std::string() : DeviceListText(found);
  switch (WriteAll(1, list, &reason)) {
    case WriteOutcome::Written:
      break;
    case WriteOutcome::ReaderGone:
      exitCode = kExitFailed;
      break;
    case WriteOutcome::Failed:
      Err(QStringLiteral("sensortool-cli: ") +
          CliTexts::tr("无法写入标准输出：%1").arg(QString::fromStdString(reason)) + QLatin1Char('\n'));
      exitCode = kExitFailed;
      break;
  }
  emit Finished(exitCode);
}

void BusScanCommand::EndProgressLine() {
  if (!progressOpen_) return;
  progressOpen_ = false;
  Err(QStringLiteral("\n"));
}

// ------------------------------------------------------------------ the list

std::string DeviceListText(const std::vector<protocol::DeviceEntry>& entries) {
  std::vector<std::string> head;
  for (const QString& title : ListHeader()) head.push_back(title.toStdString());
  std::vector<std::vector<std::string>> rows{head};
  for (const protocol::DeviceEntry& e : entries)
    rows.push_back({std::to_string(e.address), std::to_string(e.serialNumber),
                    protocol::FormatG6(protocol::VersionShown(e.softwareVersion)),
                    protocol::FormatG6(protocol::DoValueShown(e.doValue)) + " " + protocol::UnitText(e.unit)});
  std::vector<std::size_t> widths(head.size(), 0);
  for (const auto& row : rows)
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], DisplayColumns(row[i]));
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line.append(widths[i] + 2 - DisplayColumns(row[i]), ' ');
    }
    out += line + "\n";
  }
  return out;
}

std::string DeviceListJson(const std::vector<protocol::DeviceEntry>& entries) {
  QJsonArray list;
  for (const protocol::DeviceEntry& e : entries) {
    // Numbers as the windows show them (NaN and infinities show 0).
    auto shown = [](float value) { return QString::fromStdString(protocol::FormatG6(value)).toDouble(); };
    list.append(QJsonObject{
        {QStringLiteral("address"), e.address},
        {QStringLiteral("serial_number"), static_cast<qint64>(e.serialNumber)},
        {QStringLiteral("software_version"), shown(protocol::VersionShown(e.softwareVersion))},
        {QStringLiteral("do_value"), shown(protocol::DoValueShown(e.doValue))},
        {QStringLiteral("unit"), e.unit},
        {QStringLiteral("unit_text"), QString::fromUtf8(protocol::UnitText(e.unit))},
        {QStringLiteral("found_at"), QString::fromStdString(e.foundAt)},
    });
  }
  return QJsonDocument(list).toJson(QJsonDocument::Indented).toStdString();
}

bool RememberDevices(const std::vector<protocol::DeviceEntry>& entries, const QString& path, QString* error) {
  protocol::DeviceTable table = sensorlink::LoadDeviceTable(path);
  for (const protocol::DeviceEntry& e : entries) table.Put(e);
  return sensorlink::SaveDeviceTable(table, path, error);
}

}  // namespace cli
