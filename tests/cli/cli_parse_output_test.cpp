// sensortool-cli without a line: the command line, the entry rules a `set`
// shares with the entry windows, the writes it builds and what it prints.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "cli/bus_scan_command.h"
#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "protocol/app_state.h"
#include "protocol/entry_rules.h"
#include "protocol/registers.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using cli::Command;
using cli::ParseOutcome;
using cli::SetField;

ParseOutcome Parse(std::vector<std::string> args) { return cli::ParseArguments(args); }

// The message of a refused command line, or a marker when it was accepted.
std::string ErrorOf(std::vector<std::string> args) {
  const ParseOutcome out = Parse(std::move(args));
  return out.kind == ParseOutcome::Error ? out.message : "<accepted>";
}

TEST(CliArguments, CommandsOptionsAndOperandsInAnyOrder) {
  ParseOutcome out = Parse({"read", "--json", "--port", "COM3", "--address", "5"});
  ASSERT_EQ(out.kind, ParseOutcome::Run) << out.message;
  EXPECT_EQ(out.options.command, Command::Read);
  EXPECT_TRUE(out.options.json);
  EXPECT_EQ(out.options.port.comNumber, 3);
  EXPECT_TRUE(out.options.port.devicePath.empty());
  ASSERT_TRUE(out.options.address.has_value());
  EXPECT_EQ(*out.options.address, 5);
  EXPECT_FALSE(out.options.timeoutSeconds.has_value());

  // Options before the command, the --name=value form, a device path.
  out = Parse({"--port=/dev/ttyUSB0", "--timeout=2.5", "set", "pressure", "101.3"});
  ASSERT_EQ(out.kind, ParseOutcome::Run) << out.message;
  EXPECT_EQ(out.options.command, Command::Set);
  EXPECT_EQ(out.options.port.devicePath, "/dev/ttyUSB0");
  EXPECT_EQ(out.options.field, SetField::Pressure);
  EXPECT_EQ(out.options.value, "101.3");
  ASSERT_TRUE(out.options.timeoutSeconds.has_value());
  EXPECT_DOUBLE_EQ(*out.options.timeoutSeconds, 2.5);
  EXPECT_FALSE(out.options.address.has_value());

  // A negative value is the value, refused later by the entry rules.
  out = Parse({"set", "zero", "-0.5", "--address", "9"});
  ASSERT_EQ(out.kind, ParseOutcome::Run) << out.message;
  EXPECT_EQ(out.options.field, SetField::Zero);
  EXPECT_EQ(out.options.value, "-0.5");
  out = Parse({"--address=9", "set", "air", "-1e-50"});
  ASSERT_EQ(out.kind, ParseOutcome::Run) << out.message;
  EXPECT_EQ(out.options.value, "-1e-50");
  EXPECT_EQ(ErrorOf({"read", "--address", "-5"}), "invalid address '-5': the bus address is 1..254");
  EXPECT_EQ(Parse({"--version"}).kind, ParseOutcome::Version);

  out = Parse({"calibrate", "restore", "-y"});
  ASSERT_EQ(out.kind, ParseOutcome::Run) << out.message;
  EXPECT_EQ(out.options.calibration, cli::Calibration::Restore);
  EXPECT_TRUE(out.options.yes);
  EXPECT_EQ(out.options.port.comNumber, 1);  // the default port
  EXPECT_TRUE(out.options.record);           // recorded by default, where the window records
  EXPECT_TRUE(out.options.recordDb.isEmpty());
  out = Parse({"set", "filter", "20", "--db", "postgresql://lab@db.plant/records", "--no-record"});
  ASSERT_EQ(out.kind, ParseOutcome::Run) << out.message;
  EXPECT_EQ(out.options.recordDb, QStringLiteral("postgresql://lab@db.plant/records"));
  EXPECT_TRUE(out.options.history.db.isEmpty());
  EXPECT_FALSE(out.options.record);

  out = Parse({"search", "--all", "--json", "--last-address", "20"});
  ASSERT_EQ(out.kind, ParseOutcome::Run) << out.message;
  EXPECT_TRUE(out.options.all);
  EXPECT_TRUE(out.options.json);
  EXPECT_EQ(out.options.lastAddress, 20);
  EXPECT_EQ(Parse({"search", "--all"}).options.lastAddress, 247);  // the whole line

  out = Parse({"watch", "--csv", "--count", "3"});
  ASSERT_EQ(out.kind, ParseOutcome::Run) << out.message;
  EXPECT_TRUE(out.options.csv);
  ASSERT_TRUE(out.options.count.has_value());
  EXPECT_EQ(*out.options.count, 3u);

  const std::vector<std::pair<std::string, SetField>> fields = {
      {"filter", SetField::Filter},       {"pressure", SetField::Pressure},
      {"unit", SetField::Unit},           {"address", SetField::Address},
      {"zero", SetField::Zero},           {"air", SetField::Air},
      {"factory-zero", SetField::FactoryZero}, {"factory-air", SetField::FactoryAir},
      {"serial", SetField::Serial}};
  for (const auto& [name, field] : fields) {
    out = Parse({"set", name, "1"});
    ASSERT_EQ(out.kind, ParseOutcome::Run) << name << ": " << out.message;
    EXPECT_EQ(out.options.field, field) << name;
    EXPECT_STREQ(cli::FieldName(field), name.c_str());
  }

  // history: table, format, sensor, time span and database reach RunHistory.
  using History = cli::HistoryArgs;
  struct HistoryCase {
    std::vector<std::string> args;
    History::Table table;
    History::Format format;
    std::optional<quint32> serial;
    const char* since;  // ISO with offset, or "" for none
    const char* until;
    const char* db;
  };
  const HistoryCase histories[] = {
      {{"history", "readings"}, History::Table::Readings, History::Format::Text, std::nullopt, "", "", ""},
      {{"--json", "history", "writes", "--serial", "-2"}, History::Table::Writes, History::Format::Json,
       4294967294u, "", "", ""},
      {{"history", "calibrations", "--csv", "--serial=4294967294", "--since", "2026-03-14T08:00:00Z",
        "--until", "2026-03-15T00:00:00+08:00", "--db", "/tmp/r.sqlite"},
       History::Table::Calibrations, History::Format::Csv, 4294967294u, "2026-03-14T08:00:00Z",
       "2026-03-14T16:00:00Z", "/tmp/r.sqlite"},
      {{"history", "writes", "--db=postgresql://lab@db.plant/records"}, History::Table::Writes,
       History::Format::Text, std::nullopt, "", "", "postgresql://lab@db.plant/records"},
  };
  for (const HistoryCase& c : histories) {
    const std::string shown = c.args[1] + (c.args.size() > 2 ? " " + c.args[2] : "");
    out = Parse(c.args);
    ASSERT_EQ(out.kind, ParseOutcome::Run) << shown << ": " << out.message;
    EXPECT_EQ(out.options.command, Command::History) << shown;
    const History& h = out.options.history;
    EXPECT_EQ(h.table, c.table) << shown;
    EXPECT_EQ(h.format, c.format) << shown;
    EXPECT_EQ(h.serial, c.serial) << shown;
    auto same = [](const QDateTime& got, const char* want) {
      return *want ? got.isValid() && got == QDateTime::fromString(QString::fromUtf8(want), Qt::ISODate) : !got.isValid();
    };
    EXPECT_TRUE(same(h.since, c.since)) << shown << " since " << h.since.toString(Qt::ISODate).toStdString();
    EXPECT_TRUE(same(h.until, c.until)) << shown << " until " << h.until.toString(Qt::ISODate).toStdString();
    EXPECT_EQ(h.db.toStdString(), c.db) << shown;
  }
}

TEST(CliArguments, HelpForEveryCommand) {
  const std::vector<std::pair<std::string, Command>> commands = {
      {"search", Command::Search}, {"read", Command::Read}, {"set", Command::Set},
      {"calibrate", Command::Calibrate}, {"watch", Command::Watch}, {"history", Command::History}};
  for (const auto& [name, command] : commands) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{name, "--help"}, std::vector<std::string>{"-h", name},
          std::vector<std::string>{"help", name}}) {
      const ParseOutcome out = Parse(args);
      ASSERT_EQ(out.kind, ParseOutcome::Help) << name;
      EXPECT_EQ(out.helpFor, command) << name;
    }
    const std::string text = cli::HelpText(command);
    EXPECT_NE(text.find("Usage: sensortool-cli " + name), std::string::npos) << text;
  }
  const ParseOutcome overview = Parse({"--help"});
  ASSERT_EQ(overview.kind, ParseOutcome::Help);
  EXPECT_EQ(overview.helpFor, Command::None);
  for (const char* name : {"search", "read", "set FIELD VALUE", "calibrate zero|air|restore", "watch",
                           "history readings|writes|calibrations"})
    EXPECT_NE(cli::HelpText(Command::None).find(name), std::string::npos) << name;
  // Every field of set is documented with its range.
  const std::string set = cli::HelpText(Command::Set);
  for (const char* line : {"filter N          filter setting, 1..99", "pressure X        atmospheric pressure, 50..200",
                           "address N         new bus address, 1..254", "factory-air X     factory air calibration, 0..20000",
                           "serial N          serial number, 0..4294967295"})
    EXPECT_NE(set.find(line), std::string::npos) << line;
}

TEST(CliArguments, BadArgumentsAreRefusedWithAClearMessage) {
  EXPECT_EQ(ErrorOf({}), "no command given (search, read, set, calibrate, watch or history)");
  EXPECT_EQ(ErrorOf({"reed"}), "unknown command 'reed' (commands: search, read, set, calibrate, watch, history)");
  EXPECT_EQ(ErrorOf({"read", "--jason"}), "unknown option 'jason'");
  EXPECT_EQ(ErrorOf({"read", "--json=yes"}), "unexpected value after '--json'");
  EXPECT_EQ(ErrorOf({"read", "--csv"}), "option '--csv' does not apply to 'read'");
  EXPECT_EQ(ErrorOf({"--json", "watch"}), "option '--json' does not apply to 'watch'");
  EXPECT_EQ(ErrorOf({"set", "filter", "5", "--yes"}), "option '--yes' does not apply to 'set'");
  EXPECT_EQ(ErrorOf({"read", "extra"}), "'read' takes no operand, got 'extra'");
  EXPECT_EQ(ErrorOf({"search", "--address", "5"}), "'search' walks the addresses itself; --address does not apply");
  EXPECT_EQ(ErrorOf({"set"}).rfind("'set' needs a field and a value", 0), 0u);
  EXPECT_EQ(ErrorOf({"set", "colour", "3"}).rfind("unknown field 'colour'", 0), 0u);
  EXPECT_EQ(ErrorOf({"set", "filter"}), "'set filter' needs a value");
  EXPECT_EQ(ErrorOf({"set", "filter", "1", "2"}), "'set' takes one value, got '2' as well");
  EXPECT_EQ(ErrorOf({"calibrate"}), "'calibrate' needs one of: zero, air, restore");
  EXPECT_EQ(ErrorOf({"calibrate", "span"}), "unknown calibration 'span' (zero, air or restore)");
  EXPECT_EQ(ErrorOf({"help", "reed"}), "no help for 'reed': not a command");
  for (const char* address : {"0", "255", "5x", "", "-1"})
    EXPECT_EQ(ErrorOf({"read", "--address", address}).rfind("invalid address", 0), 0u) << address;
  EXPECT_EQ(ErrorOf({"read", "--address"}), "missing value after '--address'");
  for (const char* timeout : {"0", "-1", "abc", "1e3", ""})
    EXPECT_EQ(ErrorOf({"read", "--timeout", timeout}).rfind("invalid timeout", 0), 0u) << timeout;
  for (const char* count : {"0", "x", "1.5"})
    EXPECT_EQ(ErrorOf({"watch", "--count", count}).rfind("invalid count", 0), 0u) << count;
  EXPECT_EQ(ErrorOf({"read", "--port"}), "missing value after '--port'");
  EXPECT_EQ(ErrorOf({"read", "--port", "COM16"}).rfind("invalid port 'COM16'", 0), 0u);
  // The network forms say what is wrong with them; search --all has options of its own.
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"read", "--port", "tcp://gw.plant"}, "invalid port 'tcp://gw.plant': the port number is missing"},
      {{"watch", "--port", "rtu+tcp://:4001"}, "invalid port 'rtu+tcp://:4001': the host is missing"},
      {{"read", "--port", "tcp://gw.plant:70000"}, "invalid port 'tcp://gw.plant:70000': the port number is not valid"},
      {{"search", "--json"}, "option '--json' applies only to 'search --all'"},
      {{"search", "--last-address", "9"}, "option '--last-address' applies only to 'search --all'"},
      {{"search", "--all", "--last-address", "248"}, "invalid last address '248'"},
      {{"search", "--all", "--last-address", "0"}, "invalid last address '0'"},
      {{"search", "--all", "--timeout", "5"}, "option '--timeout' does not apply to 'search --all'"},
      {{"read", "--all"}, "option '--all' does not apply to 'read'"},
  };
  for (const auto& [args, prefix] : refused) EXPECT_EQ(ErrorOf(args).rfind(prefix, 0), 0u) << ErrorOf(args);

  // history: what it reads must be named, and nothing that belongs to a line.
  const std::pair<std::vector<std::string>, std::string> history[] = {
      {{"history"}, "'history' needs one of: readings, writes, calibrations"},
      {{"history", "reading"}, "unknown table 'reading' (readings, writes or calibrations)"},
      {{"history", "writes", "calibrations"}, "'history' takes one operand, got 'calibrations' as well"},
      {{"history", "writes", "--json", "--csv"}, "give either --json or --csv, not both"},
      {{"history", "writes", "--yes"}, "option '--yes' does not apply to 'history'"},
      {{"history", "writes", "--count", "3"}, "option '--count' does not apply to 'history'"},
      {{"read", "--serial", "5"}, "option '--serial' does not apply to 'read'"},
      {{"search", "--db", "/tmp/x"}, "option '--db' does not apply to 'search'"},  // it records nothing
      {{"history", "writes", "--no-record"}, "option '--no-record' does not apply to 'history'"},
      {{"history", "readings", "--serial", "12x"}, "invalid serial number '12x'"},
      {{"history", "readings", "--serial", "4294967296"}, "invalid serial number '4294967296'"},
      {{"history", "readings", "--since", "yesterday"}, "invalid --since 'yesterday'"},
      {{"history", "readings", "--until", "2026-13-01"}, "invalid --until '2026-13-01'"},
      {{"history", "readings", "--since", "2026-03-15", "--until", "2026-03-14"}, "--until is before --since"},
      {{"history", "readings", "--db="}, "--db needs a database"},
      {{"history", "readings", "--port", "COM3"}, "option '--port' does not apply to 'history'"},
      {{"history", "readings", "--address", "5"}, "option '--address' does not apply to 'history'"},
  };
  for (const auto& [args, prefix] : history) EXPECT_EQ(ErrorOf(args).rfind(prefix, 0), 0u) << ErrorOf(args);
}

TEST(CliArguments, OnlyYesConfirmsACalibration) {
  const std::pair<const char*, bool> answers[] = {
      {"y\n", true},   {"Y", true},        {" yes \r\n", true}, {"YES\n", true}, {"是\n", true},
      {"yellow\n", false}, {"yes please", false}, {"n\n", false},    {"\n", false},   {"", false},
      {"ja", false},    {"是的", false},
  };
  for (const auto& [answer, yes] : answers) EXPECT_EQ(cli::IsConfirmation(answer), yes) << '"' << answer << '"';
}

TEST(CliArguments, PortNamesAndDevicePaths) {
  for (const auto& [text, number] : std::vector<std::pair<std::string, int>>{
           {"COM1", 1}, {"com7", 7}, {"Com15", 15}}) {
    const auto port = cli::ParsePort(text);
    ASSERT_TRUE(port.has_value()) << text;
    EXPECT_EQ(port->comNumber, number) << text;
    EXPECT_TRUE(port->devicePath.empty());
    EXPECT_EQ(port->Shown(), "COM" + std::to_string(number));
  }
  for (const char* bad : {"COM0", "COM16", "COM", "COM+3", "COM 3", "ttyUSB0", "3", ""})
    EXPECT_FALSE(cli::ParsePort(bad).has_value()) << bad;
  const auto path = cli::ParsePort("/dev/serial/by-id/usb-FTDI-if00");
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(path->devicePath, "/dev/serial/by-id/usb-FTDI-if00");
  EXPECT_EQ(path->Shown(), "/dev/serial/by-id/usb-FTDI-if00");
  EXPECT_EQ(cli::ParsePort("./tty")->devicePath, "./tty");
  EXPECT_FALSE(Parse({"read", "--port", "/dev/ttyUSB0"}).options.port.network.has_value());

  // The line through the network, in any letter case of the scheme.
  const struct {
    const char* text;
    transports::PortKind kind;
    const char* host;
    int port;
    const char* shown;
  } network[] = {
      {"TCP://gw.plant:502", transports::PortKind::ModbusTcp, "gw.plant", 502, "tcp://gw.plant:502"},
      {"rtu+tcp://10.0.0.7:4001", transports::PortKind::RtuOverTcp, "10.0.0.7", 4001, "rtu+tcp://10.0.0.7:4001"},
      {"rtu+tcp://[::1]:4001", transports::PortKind::RtuOverTcp, "::1", 4001, "rtu+tcp://[::1]:4001"},
  };
  for (const auto& n : network) {
    const ParseOutcome out = Parse({"watch", "--port", n.text});
    ASSERT_EQ(out.kind, ParseOutcome::Run) << n.text << ": " << out.message;
    ASSERT_TRUE(out.options.port.network.has_value()) << n.text;
    EXPECT_EQ(out.options.port.network->kind, n.kind) << n.text;
    EXPECT_EQ(out.options.port.network->host, n.host) << n.text;
    EXPECT_EQ(out.options.port.network->port, n.port) << n.text;
    EXPECT_EQ(out.options.port.Shown(), n.shown) << n.text;
  }
}

// The entry windows' rules, now shared: boundaries, messages and the kinds
// that have no range.
TEST(EntryRules, RangesMessagesAndWrites) {
  using namespace protocol;
  EXPECT_STREQ(IntegerEntryRangeError(EntryFilter, 0), "只能输入1到99之间的数值。");
  EXPECT_STREQ(IntegerEntryRangeError(EntryFilter, 100), "只能输入1到99之间的数值。");
  EXPECT_EQ(IntegerEntryRangeError(EntryFilter, 1), nullptr);
  EXPECT_EQ(IntegerEntryRangeError(EntryFilter, 99), nullptr);
  EXPECT_STREQ(IntegerEntryRangeError(EntryDeviceAddress, 0), "只能输入1到254之间的数值。");
  EXPECT_STREQ(IntegerEntryRangeError(EntryDeviceAddress, 255), "只能输入1到254之间的数值。");
  EXPECT_EQ(IntegerEntryRangeError(EntryDeviceAddress, 254), nullptr);
  EXPECT_EQ(IntegerEntryRangeError(EntrySerialNumber, 4294967295u), nullptr);
  EXPECT_STREQ(NumberEntryRangeError(EntryPressure, 49.99f), "只能输入50到200之间的数值。");
  EXPECT_STREQ(NumberEntryRangeError(EntryPressure, 200.01f), "只能输入50到200之间的数值。");
  EXPECT_EQ(NumberEntryRangeError(EntryPressure, 50.0f), nullptr);
  EXPECT_EQ(NumberEntryRangeError(EntryPressure, 200.0f), nullptr);
  for (int kind : {EntryZeroCalValue, EntryAirCalValue, EntryFactoryZeroCal, EntryFactoryAirCal}) {
    EXPECT_STREQ(NumberEntryRangeError(kind, -0.5f), "只能输入0到20000之间的数值。") << kind;
    EXPECT_STREQ(NumberEntryRangeError(kind, 20000.5f), "只能输入0到20000之间的数值。") << kind;
    EXPECT_EQ(NumberEntryRangeError(kind, 0.0f), nullptr) << kind;
    EXPECT_EQ(NumberEntryRangeError(kind, 20000.0f), nullptr) << kind;
  }
  EXPECT_EQ(NumberEntryRangeError(7, -1e9f), nullptr);

  auto w = IntegerEntryWrite(EntryFilter, 1, 10);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(w->frame, (Bytes{0x01, 0x10, 0x00, 0x13, 0x00, 0x01, 0x02, 0x00, 0x0A, 0x24, 0xF4}));
  EXPECT_EQ(w->reg, Filter);
  w = IntegerEntryWrite(EntrySerialNumber, 1, 12345678);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(w->frame, (Bytes{0x01, 0x10, 0x00, 0x1E, 0x00, 0x02, 0x04, 0x61, 0x4E, 0x00, 0xBC, 0x0D, 0x75}));
  EXPECT_EQ(w->reg, SerialNumber);
  w = IntegerEntryWrite(EntryDeviceAddress, 3, 200);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(w->frame, WriteDeviceAddress(3, 200));
  EXPECT_EQ(w->reg, DeviceAddress);
  EXPECT_FALSE(IntegerEntryWrite(1, 1, 5).has_value());
  w = NumberEntryWrite(EntryPressure, 1, 101.3f);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(w->frame, (Bytes{0x01, 0x10, 0x00, 0x14, 0x00, 0x02, 0x04, 0x99, 0x9A, 0x42, 0xCA, 0x4D, 0x14}));
  EXPECT_EQ(w->reg, Pressure);
  const std::vector<std::pair<int, Register>> calibrations = {{EntryZeroCalValue, ZeroCalValue},
                                                             {EntryAirCalValue, AirCalValue},
                                                             {EntryFactoryZeroCal, FactoryZeroCal},
                                                             {EntryFactoryAirCal, FactoryAirCal}};
  for (const auto& [kind, reg] : calibrations) {
    w = NumberEntryWrite(kind, 4, 10.0f);
    ASSERT_TRUE(w.has_value()) << kind;
    EXPECT_EQ(w->reg, reg);
    EXPECT_EQ(w->frame, BuildWriteFloat(4, reg, 10.0f));
    EXPECT_EQ(Bytes(w->frame.begin() + 7, w->frame.begin() + 11), (Bytes{0x00, 0x00, 0x41, 0x20}));
  }
  EXPECT_FALSE(NumberEntryWrite(0, 1, 5.0f).has_value());
}

TEST(CliSetValue, SameParseAndRangeMessagesAsTheEntryWindows) {
  struct Case {
    SetField field;
    const char* text;
    const char* message;  // nullptr: accepted
  };
  const Case cases[] = {
      {SetField::Filter, "0", "Enter a value from 1 to 99."},
      {SetField::Filter, "100", "Enter a value from 1 to 99."},
      {SetField::Filter, "1", nullptr},
      {SetField::Filter, "99", nullptr},
      {SetField::Filter, " 12\t", nullptr},
      {SetField::Filter, "-5", "\"Please enter a positive integer.\""},
      {SetField::Filter, "ten", "\"Please enter a positive integer.\""},
      {SetField::Filter, "", "\"Please enter a positive integer.\""},
      {SetField::Address, "255", "Enter a value from 1 to 254."},
      {SetField::Address, "254", nullptr},
      {SetField::Serial, "4294967295", nullptr},
      {SetField::Serial, "4294967296", "\"Please enter a positive integer.\""},
      {SetField::Pressure, "49.99", "Enter a value from 50 to 200."},
      {SetField::Pressure, "200.01", "Enter a value from 50 to 200."},
      {SetField::Pressure, "1e2", nullptr},
      {SetField::Pressure, "50", nullptr},
      {SetField::Pressure, "101,3", "Please type a number."},
      {SetField::Zero, "-0.5", "Enter a value from 0 to 20000."},
      {SetField::Air, "20000.5", "Enter a value from 0 to 20000."},
      {SetField::FactoryZero, "0", nullptr},
      {SetField::FactoryAir, "20000", nullptr},
      {SetField::FactoryAir, ".0", "Please type a number."},
      {SetField::Zero, "abc", "Please type a number."},
      {SetField::Zero, "-1e-50", "Please type a number."},  // would be written as -0.0
      {SetField::Air, "1e-50", "Please type a number."},    // would be written as 0
      {SetField::Pressure, "1e-46", "Please type a number."},
  };
  for (const Case& c : cases) {
    std::string message = "<untouched>";
    const auto value = cli::CheckSetValue(c.field, c.text, &message);
    if (c.message) {
      EXPECT_FALSE(value.has_value()) << cli::FieldName(c.field) << " '" << c.text << "'";
      EXPECT_EQ(message, c.message) << cli::FieldName(c.field) << " '" << c.text << "'";
    } else {
      EXPECT_TRUE(value.has_value()) << cli::FieldName(c.field) << " '" << c.text << "': " << message;
    }
  }
  std::string message;
  EXPECT_EQ(cli::CheckSetValue(SetField::Filter, " 12 ", &message)->integer, 12u);
  EXPECT_EQ(cli::CheckSetValue(SetField::Pressure, "1e2", &message)->number, 100.0f);
  EXPECT_EQ(cli::CheckSetValue(SetField::Serial, "4294967295", &message)->integer, 4294967295u);

  // The unit has no entry window: named values and the toggle.
  EXPECT_EQ(cli::CheckSetValue(SetField::Unit, "mg/L", &message)->integer, 1u);
  EXPECT_EQ(cli::CheckSetValue(SetField::Unit, "1", &message)->integer, 1u);
  EXPECT_EQ(cli::CheckSetValue(SetField::Unit, "%", &message)->integer, 0u);
  EXPECT_EQ(cli::CheckSetValue(SetField::Unit, "0", &message)->integer, 0u);
  EXPECT_TRUE(cli::CheckSetValue(SetField::Unit, "Toggle", &message)->toggleUnit);
  EXPECT_FALSE(cli::CheckSetValue(SetField::Unit, "2", &message).has_value());
  EXPECT_EQ(message, "invalid unit '2': give mg/L (or 1), % (or 0), or toggle");
}

TEST(CliSetValue, WritesAndReadBack) {
  std::string message;
  protocol::SensorReading latest;
  latest.unit = 0;
  latest.deviceAddress = 9;

  // Entry-window writes go to the connected address.
  auto filter = cli::CheckSetValue(SetField::Filter, "10", &message);
  protocol::EntryWrite w = cli::BuildSetWrite(*filter, 1, latest);
  EXPECT_EQ(w.frame, (Bytes{0x01, 0x10, 0x00, 0x13, 0x00, 0x01, 0x02, 0x00, 0x0A, 0x24, 0xF4}));
  EXPECT_EQ(w.reg, protocol::Filter);
  protocol::SensorReading after = latest;
  after.filter = 10;
  EXPECT_TRUE(cli::ReadBackMatches(*filter, w, after));
  after.filter = 11;
  EXPECT_FALSE(cli::ReadBackMatches(*filter, w, after));

  auto air = cli::CheckSetValue(SetField::Air, "12.34567", &message);
  w = cli::BuildSetWrite(*air, 5, latest);
  EXPECT_EQ(w.frame, protocol::WriteAirCalValue(5, 12.34567f));
  EXPECT_EQ(w.reg, protocol::AirCalValue);
  after.airCalValue = 12.34567f;
  EXPECT_TRUE(cli::ReadBackMatches(*air, w, after));
  after.airCalValue = 12.345f;  // what the window shows is not what was written
  EXPECT_FALSE(cli::ReadBackMatches(*air, w, after));

  auto serial = cli::CheckSetValue(SetField::Serial, "3000000000", &message);
  w = cli::BuildSetWrite(*serial, 5, latest);
  EXPECT_EQ(w.frame, protocol::WriteSerialNumber(5, 3000000000u));
  after.serialNumber = 3000000000u;
  EXPECT_TRUE(cli::ReadBackMatches(*serial, w, after));

  // The unit goes to the connected address too, whatever the sensor's own
  // address register reads (0 would be a broadcast nobody echoes); the toggle
  // follows the latest reply.
  auto toggle = cli::CheckSetValue(SetField::Unit, "toggle", &message);
  w = cli::BuildSetWrite(*toggle, 5, latest);
  EXPECT_EQ(w.frame, protocol::WriteUnit(5, 1));
  EXPECT_EQ(w.reg, protocol::Unit);
  latest.unit = 0x0100;
  latest.deviceAddress = 0;
  w = cli::BuildSetWrite(*toggle, 5, latest);
  EXPECT_EQ(w.frame, protocol::WriteUnit(5, 0));
  after.unit = 0;
  EXPECT_TRUE(cli::ReadBackMatches(*toggle, w, after));
  after.unit = 1;
  EXPECT_FALSE(cli::ReadBackMatches(*toggle, w, after));

  auto address = cli::CheckSetValue(SetField::Address, "7", &message);
  w = cli::BuildSetWrite(*address, 5, latest);
  EXPECT_EQ(w.frame, protocol::WriteDeviceAddress(5, 7));
  after.deviceAddress = 7;
  EXPECT_TRUE(cli::ReadBackMatches(*address, w, after));
  after.deviceAddress = 5;
  EXPECT_FALSE(cli::ReadBackMatches(*address, w, after));
}

// The 77-byte reply from address 1 whose shown values are known: oxygen 8.5
// mg/L, temperature 25.25, status normal, filter 10, pressure 101.3, address
// 1, software version 1.01.
Bytes KnownReply() {
  return {0x01, 0x03, 0x48, 0x00, 0x00, 0x41, 0x08, 0x00, 0x00, 0x41, 0xCA, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3F,
          0x80, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x99, 0x9A, 0x42, 0xCA, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0xD5};
}

TEST(CliOutput, EveryFieldThroughTheDisplayRules) {
  const Bytes reply = KnownReply();
  ASSERT_TRUE(protocol::HasValidCrc(reply.data(), reply.size()));
  protocol::SensorReading r = protocol::DecodePollReply(reply.data());

  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(cli::ReadingJson(1, r)));
  ASSERT_TRUE(doc.isObject()) << cli::ReadingJson(1, r);
  const QJsonObject o = doc.object();
  EXPECT_EQ(o.size(), 35);
  EXPECT_EQ(o["address"].toInt(), 1);
  EXPECT_EQ(o["do_value"].toDouble(), 8.5);
  EXPECT_EQ(o["unit"].toString(), QStringLiteral("mg/L"));
  EXPECT_EQ(o["temperature"].toDouble(), 25.25);
  EXPECT_EQ(o["status"].toString(), QStringLiteral("正常"));
  EXPECT_EQ(o["filter"].toInt(), 10);
  EXPECT_EQ(o["pressure"].toDouble(), 101.3);
  EXPECT_EQ(o["device_address"].toInt(), 1);
  EXPECT_EQ(o["software_version"].toDouble(), 1.01);
  EXPECT_EQ(o["serial_number"].toInt(), 0);
  EXPECT_EQ(o["red_amplitude"].toInt(), 0);

  const std::string text = cli::ReadingText(1, r);
  for (const char* line : {"溶解氧值 (do_value)                8.5 mg/L\n", "温度 (temperature)                 25.25 ℃\n",
                           "状态 (status)                      正常\n", "大气压强 (pressure)                101.3\n",
                           "传感器软件版本 (software_version)  1.01\n"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);

  // Display rules at their edges: cut, not rounded; tiny oxygen shows 0; a
  // status of 1 is abnormal; the unit register 0 is percent; serial signed.
  r.doValue = 0.009f;
  r.temperature = -3.456f;
  r.status = 1;
  r.unit = 0;
  r.airCalValue = 12.34567f;
  r.zeroCalValue = 12.34567f;
  r.serialNumber = 3000000000u;
  r.deviceAddress = 200;
  const QJsonObject e = QJsonDocument::fromJson(QByteArray::fromStdString(cli::ReadingJson(200, r))).object();
  EXPECT_EQ(e["do_value"].toDouble(), 0.0);
  EXPECT_EQ(e["temperature"].toDouble(), -3.45);
  EXPECT_EQ(e["status"].toString(), QStringLiteral("异常"));
  EXPECT_EQ(e["unit"].toString(), QStringLiteral("%"));
  EXPECT_EQ(e["air_cal_value"].toDouble(), 12.345);
  EXPECT_EQ(e["zero_cal_value"].toDouble(), 12.34);
  EXPECT_EQ(e["serial_number"].toDouble(), -1294967296.0);
  EXPECT_EQ(e["device_address"].toInt(), 200);

  EXPECT_EQ(e["status_code"].toInt(), 1);
  EXPECT_EQ(e["serial_number_raw"].toDouble(), 3000000000.0);

  EXPECT_EQ(cli::CsvHeader(),
            "time,address,stale,do_value,do_value_raw,unit,unit_code,temperature,temperature_raw,status,"
            "status_code,phase_diff,phase_diff_raw,red_phase,red_phase_raw,green_phase,green_phase_raw,"
            "red_amplitude,red_gain,green_amplitude,green_gain\n");
  const QDateTime when(QDate(2024, 5, 1), QTime(8, 0), QTimeZone(8 * 3600));
  EXPECT_EQ(cli::CsvRow(when, 200, r),
            "2024-05-01T08:00:00.000+08:00,200,0,0,0.009,%,0,-3.45,-3.456,异常,1,0,0,0,0,0,0,0,0,0,0\n");
  // A period without a reply: no old number, and as many cells as the header.
  EXPECT_EQ(cli::CsvStaleRow(when, 200), "2024-05-01T08:00:00.000+08:00,200,1,,,,,,,,,,,,,,,,,,\n");
  EXPECT_EQ(cli::WatchStaleLine("T", 200), "T  地址 200  无应答\n");
  EXPECT_EQ(cli::WatchLine("T", 200, r), "T  地址 200  溶解氧值 0 %  温度 -3.45 ℃  状态 异常  相位差值 0 deg\n");
  EXPECT_EQ(cli::SetFieldShown(SetField::Air, r), "空气标定 (air_cal_value) = 12.345");
  EXPECT_EQ(cli::SetFieldShown(SetField::Serial, r), "传感器序列号 (serial_number) = -1294967296");
  EXPECT_EQ(cli::SetFieldShown(SetField::Unit, r), "单位 (unit) = %");
}

// The display rules turn what the sensor did not measure into plausible
// numbers (NaN shows 0); machine output keeps the sent value beside the shown
// text: null in JSON, an empty cell in CSV.
TEST(CliOutput, MachineOutputCarriesTheValueTheSensorSent) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float doValue;
    const char* shown;    // what the window shows
    const char* csvRaw;   // the raw CSV cell
    bool jsonNull;
  };
  const Case cases[] = {
      {8.62f, "8.61", "8.62", false},  // the window cuts, the sensor sent 8.62
      {nan, "0", "", true},
      {inf, "0", "", true},
      {-inf, "0", "", true},
      {3e38f, "0", "3e+38", false},  // beyond the 64-bit cut: shown 0, sent 3e38
      {0.005f, "0", "0.005", false},
  };
  const QDateTime when(QDate(2024, 5, 1), QTime(8, 0), QTimeZone(0));
  for (const Case& c : cases) {
    protocol::SensorReading r;
    r.doValue = c.doValue;
    r.temperature = nan;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(cli::ReadingJson(3, r))).object();
    EXPECT_EQ(o["do_value"].toVariant().toString().toStdString(), c.shown) << c.shown;
    EXPECT_EQ(o["do_value_raw"].isNull(), c.jsonNull) << c.csvRaw;
    if (!c.jsonNull) {
      EXPECT_EQ(static_cast<float>(o["do_value_raw"].toDouble()), c.doValue) << c.csvRaw;
    }
    EXPECT_TRUE(o["temperature_raw"].isNull());
    const QStringList cells = QString::fromStdString(cli::CsvRow(when, 3, r)).trimmed().split(QLatin1Char(','));
    ASSERT_EQ(cells.size(), 21);
    EXPECT_EQ(cells[3].toStdString(), c.shown);
    EXPECT_EQ(cells[4].toStdString(), c.csvRaw);
    EXPECT_EQ(cells[8], QString()) << "temperature_raw of NaN";
  }
}

// The list of search --all: the serial number as printed on the sensor (not
// the windows' signed form), the values through the display rules, columns
// that line up; JSON with English keys.
TEST(CliOutput, TheListOfSensorsFound) {
  std::vector<protocol::DeviceEntry> entries(2);
  entries[0] = {3, 3000000000u, 1.0f, 8.276f, 1, "2026-03-14T08:00:00.000+08:00"};
  entries[1] = {127, 42, std::numeric_limits<float>::quiet_NaN(), 95.5f, 0, "2026-03-14T08:00:01.000+08:00"};
  EXPECT_EQ(cli::DeviceListText(entries),
            "address  serial number  software version  DO\n"
            "3        3000000000     1.01              8.27 mg/L\n"
            "127      42             0                 95.5 %\n");
  const QJsonArray list = QJsonDocument::fromJson(QByteArray::fromStdString(cli::DeviceListJson(entries))).array();
  ASSERT_EQ(list.size(), 2);
  const QJsonObject first = list[0].toObject(), second = list[1].toObject();
  EXPECT_EQ(first.keys(), (QStringList{"address", "do_value", "found_at", "serial_number", "software_version", "unit",
                                       "unit_text"}));
  EXPECT_EQ(first["serial_number"].toInteger(), 3000000000LL);
  EXPECT_DOUBLE_EQ(first["software_version"].toDouble(), 1.01);
  EXPECT_DOUBLE_EQ(first["do_value"].toDouble(), 8.27);
  EXPECT_EQ(first["unit_text"].toString(), QStringLiteral("mg/L"));
  EXPECT_EQ(first["found_at"].toString(), QStringLiteral("2026-03-14T08:00:00.000+08:00"));
  EXPECT_EQ(second["software_version"].toDouble(), 0.0);  // the windows show NaN as 0
  EXPECT_EQ(second["unit"].toInt(), 0);
  EXPECT_EQ(second["unit_text"].toString(), QStringLiteral("%"));
  EXPECT_EQ(cli::DeviceListJson({}), "[\n]\n");
}

}  // namespace
