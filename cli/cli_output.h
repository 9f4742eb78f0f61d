#pragma once
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <string>

#include "cli/cli_options.h"
#include "protocol/display_rules.h"
#include "protocol/registers.h"

// What sensortool-cli prints for a poll reply. Every value goes through the
// display rules, so the numbers are those the desktop tool's windows show,
// and none of them follows the process locale.
namespace cli {

// Display width of UTF-8 text: CJK characters take two columns.
std::size_t DisplayColumns(const std::string& text);

// One field per line: label, shown value and unit.
std::string ReadingText(std::uint8_t replyAddress, const protocol::SensorReading& reading);

// One JSON object on one line: shown numbers as JSON numbers, unit and status
// as text and register number, every float also as sent (null when the
// sensor sent NaN or an infinity).
std::string ReadingJson(std::uint8_t replyAddress, const protocol::SensorReading& reading);

// watch: one line per reply.
std::string WatchLine(const std::string& time, std::uint8_t replyAddress, const protocol::SensorReading& reading);
// watch --csv: the column layout of the window's recording.
std::string CsvHeader();
std::string CsvRow(const QDateTime& when, std::uint8_t replyAddress, const protocol::SensorReading& reading);
// A poll period without an accepted reply: the row says so instead of
// repeating old values (CSV: empty values, stale = 1).
std::string CsvStaleRow(const QDateTime& when, std::uint8_t address);
std::string WatchStaleLine(const std::string& time, std::uint8_t address);

// ---- standard output that tells when it fails ----

enum class WriteOutcome {
  Written,
  ReaderGone,  // EPIPE: the reader of the pipe has ended (`watch | head -1`)
  Failed,      // anything else: full disk, closed or bad descriptor, I/O error
};

// Writes all of `text` to file descriptor `fd` unbuffered, so a failure is
// known at once; on Failed `reason` gets the system's reason.
WriteOutcome WriteAll(int fd, const std::string& text, std::string* reason);

// True when `fd` is an open descriptor. With standard output closed, the
// next file the program opens would take its number and receive the output.
bool DescriptorOpen(int fd);

// A text of the protocol core or of uitexts/ (marked SENSOR_TEXT) in the
// operator's language, as the windows show it.
QString SensorText(const char* text);
std::string SensorTextUtf8(const char* text);

// The shown text of the field a `set` changed, e.g. "滤波 = 42".
std::string SetFieldShown(SetField field, const protocol::SensorReading& reading);

}  // namespace cli
