#include "protocol/device_table.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "protocol/display_rules.h"

namespace protocol {

namespace {
const char kHeader[] = "address\tserial_number\tsoftware_version\tfound_at";

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const auto tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long* out) {
  if (text.empty() || text.size() > 10 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  *out = std::stoull(text);
  return *out <= max;
}
}  // namespace

ScanWalk::ScanWalk(std::uint8_t first, std::uint8_t last) : m_first(first), m_last(last), m_next(first) {}

bool DeviceEntry::operator==(const DeviceEntry& other) const {
  return address == other.address && serialNumber == other.serialNumber &&
         softwareVersion == other.softwareVersion && doValue == other.doValue && unit == other.unit &&
         foundAt == other.foundAt;
}

DeviceEntry DescribeSensor(const std::uint8_t* reply, std::uint8_t address, std::string foundAt) {
  const SensorReading reading = DecodePollReply(reply);
  DeviceEntry entry;
  entry.address = address;
  entry.serialNumber = reading.serialNumber;
  entry.softwareVersion = reading.softwareVersion;
  entry.doValue = reading.doValue;
  entry.unit = reading.unit;
  entry.foundAt = std::move(foundAt);
  return entry;
}

void DeviceTable::Put(const DeviceEntry& entry) {
  const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), entry.address,
                                   [](const DeviceEntry& e, std::uint8_t a) { return e.address < a; });
  if (at != m_entries.end() && at->address == entry.address)
    *at = entry;
  else
    m_entries.insert(at, entry);
}

bool DeviceTable::Remove(std::uint8_t address) {
  const auto at = std::find_if(m_entries.begin(), m_entries.end(),
                               [address](const DeviceEntry& e) { return e.address == address; });
  if (at == m_entries.end()) return false;
  m_entries.erase(at);
  return true;
}

const DeviceEntry* DeviceTable::Find(std::uint8_t address) const {
  for (const DeviceEntry& e : m_entries)
    if (e.address == address) return &e;
  return nullptr;
}

std::string DeviceTable::ToText() const {
  std::string text = std::string(kHeader) + "\n";
  for (const DeviceEntry& e : m_entries) {
    text += std::to_string(e.address) + "\t" + std::to_string(e.serialNumber) + "\t" +
            FormatG6(e.softwareVersion) + "\t" + e.foundAt + "\n";
  }
  return text;
}

std::optional<DeviceTable> DeviceTable::FromText(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != kHeader) return std::nullopt;
  DeviceTable table;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<std::string> f = SplitTabs(line);
    unsigned long long address = 0, serial = 0;
    if (f.size() != 4 || !ParseUnsigned(f[0], 254, &address) || address == 0 ||
        !ParseUnsigned(f[1], 0xFFFFFFFFull, &serial))
      continue;
    DeviceEntry entry;
    entry.address = static_cast<std::uint8_t>(address);
    entry.serialNumber = static_cast<std::uint32_t>(serial);
    // from_chars: the decimal point whatever the process locale says.
    const char* end = f[2].data() + f[2].size();
    const auto parsed = std::from_chars(f[2].data(), end, entry.softwareVersion);
    if (f[2].empty() || parsed.ec != std::errc() || parsed.ptr != end) continue;
    entry.foundAt = f[3];
    table.Put(entry);
  }
  return table;
}

}  // namespace protocol
