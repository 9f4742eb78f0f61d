#include "cli/cli_output.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include "uitexts/link_texts.h"
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "records/reading_record.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

// One printed field: its machine key, label of the window that shows it, shown
// text, unit label.
struct Field {
  const char* key;
  const char* label;
  std::string shown;
  const char* unit;
};

std::vector<Field> Fields(std::uint8_t replyAddress, const protocol::SensorReading& r) {
  const protocol::ShownReading s = protocol::ShowReading(r);
  return {
      {"address", "应答地址", protocol::FormatUnsigned(replyAddress), ""},
      {"do_value", "溶解氧值", s.doValue, protocol::UnitText(r.unit)},
      {"unit", "单位", s.unit, ""},
      {"temperature", "温度", s.temperature, "℃"},
      {"status", "状态", s.status, ""},
      {"phase_diff", "相位差值", s.phaseDiff, "deg"},
      {"red_phase", "红光相位", s.redPhase, "deg"},
      {"green_phase", "绿光相位", s.greenPhase, "deg"},
      {"red_amplitude", "红光幅值", s.redAmplitude, "mV"},
      {"red_gain", "红光增益", s.redGain, ""},
      {"green_amplitude", "绿光幅值", s.greenAmplitude, "mV"},
      {"green_gain", "绿光增益", s.greenGain, ""},
      {"filter", "滤波", s.filter, ""},
      {"pressure", "大气压强", s.pressure, ""},
      {"zero_cal_value", "零点标定", s.zeroCalValue, ""},
      {"air_cal_value", "空气标定", s.airCalValue, ""},
      {"device_address", "设备地址", s.deviceAddress, ""},
      {"software_version", "传感器软件版本", s.softwareVersion, ""},
      {"serial_number", "传感器序列号", s.serialNumber, ""},
      {"factory_zero_cal", "厂家零点标定", s.factoryZeroCal, ""},
      {"factory_air_cal", "厂家空气标定", s.factoryAirCal, ""},
  };
}

}  // namespace

// Display width of UTF-8 text: the CJK labels take two columns per character.

std::size_t DisplayColumns(const std::string& text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    columns += len >= 3 ? 2 : 1;
    i += len;
  }
  return columns;
}

std::string ReadingText(std::uint8_t replyAddress, const protocol::SensorReading& reading) {
  const std::vector<Field> fields = Fields(replyAddress, reading);
  std::size_t width = 0;
  for (const Field& f : fields) width = std::max(width, DisplayColumns(f.label) + 1 + std::string(f.key).size() + 2);
  std::string out;
  for (const Field& f : fields) {
    std::string head = std::string(f.label) + " (" + f.key + ")";
    head.append(width + 2 - DisplayColumns(head), ' ');
    out += head + f.shown;
    if (*f.unit) out += std::string(" ") + f.unit;
    out += '\n';
  }
  return out;
}

std::string ReadingJson(std::uint8_t replyAddress, const protocol::SensorReading& reading) {
  return QJsonDocument(records::ReadingJson(replyAddress, reading)).toJson(QJsonDocument::Compact).toStdString() +
         "\n";
}

std::string WatchLine(const std::string& time, std::uint8_t replyAddress, const protocol::SensorReading& r) {
  const protocol::ShownReading s = protocol::ShowReading(r);
  return time + "  地址 " + protocol::FormatUnsigned(replyAddress) + "  溶解氧值 " + s.doValue + " " + s.unit +
         "  温度 " + s.temperature + " ℃  状态 " + s.status + "  相位差值 " + s.phaseDiff + " deg\n";
}

std::string CsvHeader() { return records::CsvHeader().toStdString(); }

std::string CsvRow(const QDateTime& when, std::uint8_t replyAddress, const protocol::SensorReading& reading) {
  return records::CsvRow(when, replyAddress, reading).toStdString();
}

std::string CsvStaleRow(const QDateTime& when, std::uint8_t address) {
  return records::CsvStaleRow(when, address).toStdString();
}

std::string WatchStaleLine(const std::string& time, std::uint8_t address) {
  return time + "  地址 " + std::to_string(address) + "  " + ui_texts::kNoReply + "\n";
}

QString SensorText(const char* text) { return QCoreApplication::translate("SensorTexts", text); }

std::string SensorTextUtf8(const char* text) { return SensorText(text).toStdString(); }

std::string SetFieldShown(SetField field, const protocol::SensorReading& reading) {
  const char* key = "";
  switch (field) {
    case SetField::Filter: key = "filter"; break;
    case SetField::Pressure: key = "pressure"; break;
    case SetField::Unit: key = "unit"; break;
    case SetField::Address: key = "device_address"; break;
    case SetField::Zero: key = "zero_cal_value"; break;
    case SetField::Air: key = "air_cal_value"; break;
    case SetField::FactoryZero: key = "factory_zero_cal"; break;
    case SetField::FactoryAir: key = "factory_air_cal"; break;
    case SetField::Serial: key = "serial_number"; break;
  }
  for (const Field& f : Fields(0, reading))
    if (std::string(f.key) == key) return std::string(f.label) + " (" + f.key + ") = " + f.shown;
  return std::string();
}

WriteOutcome WriteAll(int fd, const std::string& text, std::string* reason) {
#ifndef _WIN32
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0 && errno == EPIPE) return WriteOutcome::ReaderGone;
      if (reason) *reason = n < 0 ? std::strerror(errno) : "nothing was written";
      return WriteOutcome::Failed;
    }
    done += static_cast<std::size_t>(n);
  }
  return WriteOutcome::Written;
#else
  FILE* stream = fd == 2 ? stderr : stdout;
  if (std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0)
    return WriteOutcome::Written;
  if (reason) *reason = std::strerror(errno);
  return WriteOutcome::Failed;
#endif
}

bool DescriptorOpen(int fd) {
#ifndef _WIN32
  return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
#else
  (void)fd;
  return true;
#endif
}

}  // namespace cli
