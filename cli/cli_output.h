#pragma once
#include <cstdint>
#include <string>

#include "cli/cli_options.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"

// What sensortool-cli prints for a poll reply. Every value goes through the
// display rules, so the numbers are those the desktop tool's windows show,
// and none of them follows the process locale.
namespace cli {

// One field per line: label, shown value and unit.
std::string ReadingText(std::uint8_t replyAddress, const protocol::SensorReading& reading);

// One JSON object; numbers as JSON numbers, unit and status as strings.
std::string ReadingJson(std::uint8_t replyAddress, const protocol::SensorReading& reading);

// watch: one line per reply.
std::string WatchLine(const std::string& time, std::uint8_t replyAddress, const protocol::SensorReading& reading);
std::string CsvHeader();
std::string CsvRow(const std::string& time, std::uint8_t replyAddress, const protocol::SensorReading& reading);
// A poll period without an accepted reply: the row says so instead of
// repeating old values (CSV: empty values, stale = 1).
std::string CsvStaleRow(const std::string& time, std::uint8_t address);
std::string WatchStaleLine(const std::string& time, std::uint8_t address);

// The shown text of the field a `set` changed, e.g. "滤波 = 42".
std::string SetFieldShown(SetField field, const protocol::SensorReading& reading);

}  // namespace cli
