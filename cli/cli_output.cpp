#include "cli/cli_output.h"

#include <iterator>

#include "uitexts/link_texts.h"

#include <algorithm>
#include <vector>

namespace cli {

namespace {

enum class Kind { Number, Text };

// One printed field: JSON/CSV key, label of the window that shows it, shown
// text, unit label.
struct Field {
  const char* key;
  const char* label;
  std::string shown;
  const char* unit;
  Kind kind;
};

std::vector<Field> Fields(std::uint8_t replyAddress, const protocol::SensorReading& r) {
  const protocol::ShownReading s = protocol::ShowReading(r);
  return {
      {"address", "应答地址", protocol::FormatUnsigned(replyAddress), "", Kind::Number},
      {"do_value", "溶解氧值", s.doValue, protocol::UnitText(r.unit), Kind::Number},
      {"unit", "单位", s.unit, "", Kind::Text},
      {"temperature", "温度", s.temperature, "℃", Kind::Number},
      {"status", "状态", s.status, "", Kind::Text},
      {"phase_diff", "相位差值", s.phaseDiff, "deg", Kind::Number},
      {"red_phase", "红光相位", s.redPhase, "deg", Kind::Number},
      {"green_phase", "绿光相位", s.greenPhase, "deg", Kind::Number},
      {"red_amplitude", "红光幅值", s.redAmplitude, "mV", Kind::Number},
      {"red_gain", "红光增益", s.redGain, "", Kind::Number},
      {"green_amplitude", "绿光幅值", s.greenAmplitude, "mV", Kind::Number},
      {"green_gain", "绿光增益", s.greenGain, "", Kind::Number},
      {"filter", "滤波", s.filter, "", Kind::Number},
      {"pressure", "大气压强", s.pressure, "", Kind::Number},
      {"zero_cal_value", "零点标定", s.zeroCalValue, "", Kind::Number},
      {"air_cal_value", "空气标定", s.airCalValue, "", Kind::Number},
      {"device_address", "设备地址", s.deviceAddress, "", Kind::Number},
      {"software_version", "传感器软件版本", s.softwareVersion, "", Kind::Number},
      {"serial_number", "传感器序列号", s.serialNumber, "", Kind::Number},
      {"factory_zero_cal", "厂家零点标定", s.factoryZeroCal, "", Kind::Number},
      {"factory_air_cal", "厂家空气标定", s.factoryAirCal, "", Kind::Number},
  };
}

// Display width of UTF-8 text: the CJK labels take two columns per character.
std::size_t Columns(const std::string& text) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    columns += len >= 3 ? 2 : 1;
    i += len;
  }
  return columns;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char hex[] = "0123456789abcdef";
          out += "\\u00";
          out += hex[(c >> 4) & 0xF];
          out += hex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

std::string ReadingText(std::uint8_t replyAddress, const protocol::SensorReading& reading) {
  const std::vector<Field> fields = Fields(replyAddress, reading);
  std::size_t width = 0;
  for (const Field& f : fields) width = std::max(width, Columns(f.label) + 1 + std::string(f.key).size() + 2);
  std::string out;
  for (const Field& f : fields) {
    std::string head = std::string(f.label) + " (" + f.key + ")";
    head.append(width + 2 - Columns(head), ' ');
    out += head + f.shown;
    if (*f.unit) out += std::string(" ") + f.unit;
    out += '\n';
  }
  return out;
}

std::string ReadingJson(std::uint8_t replyAddress, const protocol::SensorReading& reading) {
  std::string out = "{";
  bool first = true;
  for (const Field& f : Fields(replyAddress, reading)) {
    if (!first) out += ", ";
    first = false;
    out += JsonString(f.key) + ": " + (f.kind == Kind::Number ? f.shown : JsonString(f.shown));
  }
  return out + "}\n";
}

std::string WatchLine(const std::string& time, std::uint8_t replyAddress, const protocol::SensorReading& r) {
  const protocol::ShownReading s = protocol::ShowReading(r);
  return time + "  地址 " + protocol::FormatUnsigned(replyAddress) + "  溶解氧值 " + s.doValue + " " + s.unit +
         "  温度 " + s.temperature + " ℃  状态 " + s.status + "  相位差值 " + s.phaseDiff + " deg\n";
}

namespace {
const char* const kCsvKeys[] = {"address",     "do_value",  "unit",          "temperature", "status",
                                "phase_diff",  "red_phase", "green_phase",   "red_amplitude", "red_gain",
                                "green_amplitude", "green_gain"};
}  // namespace

std::string CsvHeader() {
  std::string out = "time";
  for (const char* key : kCsvKeys) out += std::string(",") + key;
  return out + ",stale\n";
}

std::string CsvRow(const std::string& time, std::uint8_t replyAddress, const protocol::SensorReading& reading) {
  const std::vector<Field> fields = Fields(replyAddress, reading);
  std::string out = CsvCell(time);
  for (const char* key : kCsvKeys)
    for (const Field& f : fields)
      if (std::string(f.key) == key) out += "," + CsvCell(f.shown);
  return out + ",0\n";
}

std::string CsvStaleRow(const std::string& time, std::uint8_t address) {
  // Empty cells, never the last reading again: a spreadsheet must not plot
  // an old value as if the sensor had sent it at this time.
  std::string out = CsvCell(time) + "," + std::to_string(address);
  for (std::size_t i = 1; i < std::size(kCsvKeys); ++i) out += ",";
  return out + ",1\n";
}

std::string WatchStaleLine(const std::string& time, std::uint8_t address) {
  return time + "  地址 " + std::to_string(address) + "  " + ui_texts::kNoReply + "\n";
}

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

}  // namespace cli
