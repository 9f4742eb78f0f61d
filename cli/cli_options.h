#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/history_command.h"
#include "protocol/entry_rules.h"
#include "protocol/device_table.h"
#include "protocol/registers.h"
#include "transports/port_address.h"

// Command line of sensortool-cli: what to do, on which port, at which address.
// Parsing is pure so every refusal can be checked without a line.
namespace cli {

enum class Command { None, Search, Read, Set, Calibrate, Watch, History };

// The values `set` can change, in the order the help lists them.
enum class SetField { Filter, Pressure, Unit, Address, Zero, Air, FactoryZero, FactoryAir, Serial };

enum class Calibration { Zero, Air, Restore };

// Exit statuses.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the port, the sensor or the write failed
constexpr int kExitUsage = 2;   // bad arguments, values refused by the entry rules
constexpr int kExitCancelled = 130;  // search --all ended by Ctrl-C or SIGTERM (128 + SIGINT, as shells say)

// "COM1".."COM15" (any case) as a port number, a device path, or the line
// through the network (tcp://HOST:PORT, rtu+tcp://HOST:PORT).
struct PortChoice {
  int comNumber = 1;       // used when devicePath is empty
  std::string devicePath;
  std::optional<transports::PortSpec> network;  // set for the network forms
  std::string Shown() const;
};

struct Options {
  Command command = Command::None;
  PortChoice port;
  std::optional<int> address;            // --address: no search
  std::optional<double> timeoutSeconds;  // --timeout
  bool json = false;                     // read --json, search --all --json
  bool all = false;                      // search --all: every address, a list of sensors
  std::uint8_t lastAddress = protocol::kScanLastAddress;  // search --all --last-address
  bool csv = false;                      // watch --csv
  std::optional<std::uint32_t> count;    // watch --count
  bool yes = false;                      // calibrate --yes
  SetField field = SetField::Filter;     // set FIELD
  std::string value;                     // set FIELD VALUE
  Calibration calibration = Calibration::Zero;
  HistoryArgs history;                   // history TABLE [--serial --since --until --db]
  // read, set, calibrate, watch: where what happens on the line is recorded.
  bool record = true;                    // --no-record turns it off
  QString recordDb;                      // --db; empty: the window's choice, else the default file
};

struct ParseOutcome {
  enum Kind { Run, Help, Version, Error } kind = Error;
  Options options;
  Command helpFor = Command::None;  // Help: the command whose help was asked for
  std::string message;              // Error: what is wrong
};

// Parses the arguments after the program name.
ParseOutcome ParseArguments(const std::vector<std::string>& args);

// "COM5", "com12" or a path containing '/'; nullopt for anything else.
std::optional<PortChoice> ParsePort(const std::string& text);

// The network forms: a text starting with tcp:// or rtu+tcp:// (any case).
bool IsNetworkPort(const std::string& text);

// The help of one command, or the overview for Command::None.
std::string HelpText(Command command);

// The name the command line uses for a field or a command.
const char* FieldName(SetField field);
const char* CommandName(Command command);

// The answer to a calibration prompt: only y, yes (any case) or 是, with
// blanks around, go on; "yellow", "nein" or an empty line do not.
bool IsConfirmation(const std::string& answer);

// ---- set VALUE: the entry windows' rules ----

struct SetValue {
  SetField field = SetField::Filter;
  bool toggleUnit = false;      // unit: "toggle"
  std::uint32_t integer = 0;    // filter, address, serial number, unit
  float number = 0;             // pressure and the calibration values
};

// Checks `text` for `field` with the same parse rules and range checks as the
// entry windows; on refusal returns nullopt and puts their message (or, for
// the unit, which has no entry window, an English one) into `message`.
std::optional<SetValue> CheckSetValue(SetField field, const std::string& text, std::string* message);

// The write for an accepted value. The unit toggle resolves against the unit
// of the latest reply, and like the configuration window's unit button the
// unit write goes to the address the sensor reports in its own register.
protocol::EntryWrite BuildSetWrite(const SetValue& value, std::uint8_t address,
                                   const protocol::SensorReading& latest);

// True when `reading`, taken after the write was echoed, holds what `write`
// put into the sensor.
bool ReadBackMatches(const SetValue& value, const protocol::EntryWrite& write,
                     const protocol::SensorReading& reading);

}  // namespace cli
