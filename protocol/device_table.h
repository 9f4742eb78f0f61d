#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/registers.h"

namespace protocol {

// A bus scan asks every address a sensor may hold, one at a time, and waits
// a little for each: a poll and its 77-byte reply take 88.5 ms on the wire
// at 9600 baud, so 150 ms leaves room for the sensor's turnaround while 247
// addresses still end in under 40 s.
constexpr std::uint8_t kScanFirstAddress = 1;
constexpr std::uint8_t kScanLastAddress = 247;
constexpr int kScanWaitMs = 150;

// The addresses of one scan, in order. Plain state so the link's timer and
// the tests step it alike.
class ScanWalk {
 public:
  ScanWalk(std::uint8_t first = kScanFirstAddress, std::uint8_t last = kScanLastAddress);
  bool Done() const { return m_next > m_last; }
  // The address being asked now; meaningless once Done.
  std::uint8_t Current() const { return static_cast<std::uint8_t>(m_next); }
  void Advance() { ++m_next; }
  // Addresses asked so far (0..Total).
  int Asked() const { return m_next - m_first; }
  int Total() const { return m_last - m_first + 1; }

 private:
  int m_first;
  int m_last;
  int m_next;
};

// One sensor that answered a scan, as the device table keeps it.
struct DeviceEntry {
  std::uint8_t address = 0;
  std::uint32_t serialNumber = 0;
  float softwareVersion = 0;
  float doValue = 0;
  std::uint16_t unit = 0;
  std::string foundAt;  // ISO-8601 local time with offset, as the caller's clock gave it

  bool operator==(const DeviceEntry& other) const;
};

// What an accepted poll reply (kPollReplyLength bytes) from `address` tells
// about the sensor.
DeviceEntry DescribeSensor(const std::uint8_t* reply, std::uint8_t address, std::string foundAt);

// The sensors known on the line, one per address, in address order. Kept
// between runs and saved for the plant's records as text: a header line,
// then one tab-separated line per sensor (address, serial number, software
// version, time found), which any spreadsheet opens.
class DeviceTable {
 public:
  // A sensor found again at its address replaces the older entry.
  void Put(const DeviceEntry& entry);
  bool Remove(std::uint8_t address);
  const DeviceEntry* Find(std::uint8_t address) const;
  const std::vector<DeviceEntry>& Entries() const { return m_entries; }
  bool Empty() const { return m_entries.empty(); }
  void Clear() { m_entries.clear(); }

  std::string ToText() const;
  // Reads what ToText wrote; lines that are not an entry (a hand-edited
  // file, a cut-off last line) are skipped, not guessed at. nullopt when the
  // header is missing: then it is not this table's file.
  static std::optional<DeviceTable> FromText(const std::string& text);

 private:
  std::vector<DeviceEntry> m_entries;
};

}  // namespace protocol
