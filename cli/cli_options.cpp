#include "cli/cli_options.h"

#include <QCommandLineParser>
#include <QStringList>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "cli/cli_output.h"
#include "cli/cli_texts.h"
#include "protocol/app_state.h"
#include "protocol/entry_parse.h"
#include "protocol/rtu_frame.h"
#include "transports/transport_factory.h"

namespace cli {

namespace {

struct FieldEntry {
  SetField field;
  const char* name;
};
constexpr FieldEntry kFields[] = {
    {SetField::Filter, "filter"},           {SetField::Pressure, "pressure"},
    {SetField::Unit, "unit"},               {SetField::Address, "address"},
    {SetField::Zero, "zero"},               {SetField::Air, "air"},
    {SetField::FactoryZero, "factory-zero"}, {SetField::FactoryAir, "factory-air"},
    {SetField::Serial, "serial"},
};

struct CommandEntry {
  Command command;
  const char* name;
};
constexpr CommandEntry kCommands[] = {
    {Command::Search, "search"}, {Command::Read, "read"},   {Command::Set, "set"},
    {Command::Calibrate, "calibrate"}, {Command::Watch, "watch"}, {Command::History, "history"},
};

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A message with its values put in, in one pass so a value holding "%2"
// stays as it is.
std::string T(const QString& text) { return text.toStdString(); }
std::string T(const QString& text, const std::string& a) { return text.arg(Q(a)).toStdString(); }
std::string T(const QString& text, const std::string& a, const std::string& b) {
  return text.arg(Q(a), Q(b)).toStdString();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// A whole decimal number and nothing else.
bool ParseWhole(const std::string& text, long long* out) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *out);
  return ec == std::errc() && ptr == end;
}

// A decimal number with an optional fraction; '.' whatever the locale says.
bool ParseSeconds(const std::string& text, double* out) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *out, std::chars_format::fixed);
  return ec == std::errc() && ptr == end && std::isfinite(*out);
}

// Tokens like "-5" or "-.5" are values (refused later by the entry rules
// with their own message), not options.
bool LooksLikeOption(const std::string& token) {
  if (token.size() < 2 || token[0] != '-') return false;
  const unsigned char next = static_cast<unsigned char>(token[1]);
  return !(std::isdigit(next) || next == '.');
}

// What the line's commands (not search) take about their records.
bool TakesRecording(const std::string& option) { return option == "--db" || option == "--no-record"; }

// Which options a command takes besides the common ones.
bool CommandTakes(Command command, const std::string& option) {
  switch (command) {
    case Command::Search: return option == "--all" || option == "--json" || option == "--last-address";
    case Command::Read: return option == "--json" || TakesRecording(option);
    case Command::Watch: return option == "--csv" || option == "--count" || TakesRecording(option);
    case Command::Set: return TakesRecording(option);
    case Command::Calibrate: return option == "--yes" || TakesRecording(option);
    case Command::History:
      return option == "--json" || option == "--csv" || option == "--serial" || option == "--since" ||
             option == "--until" || option == "--db";
    default: return false;
  }
}

}  // namespace

std::string PortChoice::Shown() const {
  if (network) return transports::PortSpecText(*network);
  return devicePath.empty() ? "COM" + std::to_string(comNumber) : devicePath;
}

const char* FieldName(SetField field) {
  for (const FieldEntry& f : kFields)
    if (f.field == field) return f.name;
  return "?";
}

const char* CommandName(Command command) {
  for (const CommandEntry& c : kCommands)
    if (c.command == command) return c.name;
  return "";
}

std::optional<PortChoice> ParsePort(const std::string& text) {
  PortChoice port;
  if (text.find('/') != std::string::npos) {
    port.devicePath = text;
    return port;
  }
  const std::string lower = Lower(text);
  long long number = 0;
  if (lower.size() > 3 && lower.compare(0, 3, "com") == 0 && std::isdigit(static_cast<unsigned char>(lower[3])) &&
      ParseWhole(lower.substr(3), &number) && number >= 1 && number <= 15) {
    port.comNumber = static_cast<int>(number);
    return port;
  }
  return std::nullopt;
}

bool IsNetworkPort(const std::string& text) {
  const std::string lower = Lower(text);
  return lower.rfind("tcp://", 0) == 0 || lower.rfind("rtu+tcp://", 0) == 0;
}

ParseOutcome ParseArguments(const std::vector<std::string>& args) {
  ParseOutcome out;
  Options& o = out.options;

  auto fail = [&](const std::string& message) {
    out.kind = ParseOutcome::Error;
    out.message = message;
    return out;
  };

  // Qt's parser reads "-0.5" or "-1e-50" as a bundle of short options. Such
  // tokens are values (refused later by the entry rules with their own
  // message), so they pass the parser as stand-ins and come back afterwards.
  QStringList arguments{QStringLiteral("sensortool-cli")};
  std::vector<std::string> numbers;
  for (const std::string& token : args) {
    if (token.size() >= 2 && token[0] == '-' && !LooksLikeOption(token)) {
      arguments << QStringLiteral("\x01%1").arg(numbers.size());
      numbers.push_back(token);
    } else {
      arguments << QString::fromStdString(token);
    }
  }
  auto restore = [&](const QString& text) -> std::string {
    if (text.startsWith(QLatin1Char('\x01'))) return numbers.at(text.mid(1).toUInt());
    return text.toStdString();
  };

  const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("PORT"));
  const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("N"));
  const QCommandLineOption timeout(QStringLiteral("timeout"), QString(), QStringLiteral("S"));
  const QCommandLineOption count(QStringLiteral("count"), QString(), QStringLiteral("N"));
  const QCommandLineOption json(QStringLiteral("json"));
  const QCommandLineOption csv(QStringLiteral("csv"));
  const QCommandLineOption yes(QStringList{QStringLiteral("y"), QStringLiteral("yes")});
  const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption version(QStringLiteral("version"));
  const QCommandLineOption serial(QStringLiteral("serial"), QString(), QStringLiteral("N"));
  const QCommandLineOption since(QStringLiteral("since"), QString(), QStringLiteral("T"));
  const QCommandLineOption until(QStringLiteral("until"), QString(), QStringLiteral("T"));
  const QCommandLineOption db(QStringLiteral("db"), QString(), QStringLiteral("URL"));
  const QCommandLineOption noRecord(QStringLiteral("no-record"));
  const QCommandLineOption all(QStringLiteral("all"));
  const QCommandLineOption lastAddress(QStringLiteral("last-address"), QString(), QStringLiteral("N"));
  QCommandLineParser parser;
  parser.addOptions(
      {port, address, timeout, count, json, csv, yes, help, version, serial, since, until, db, noRecord, all, lastAddress});
  if (!parser.parse(arguments)) {
    // Qt's own words (translated by Qt's catalogue), as a clause of our line.
    QString error = parser.errorText();
    if (error.endsWith(QLatin1Char('.')) || error.endsWith(QStringLiteral("。"))) error.chop(1);
    if (!error.isEmpty()) error[0] = error[0].toLower();
    const std::string message = error.toStdString();
    // The command named anywhere, so the hint points at its own help.
    for (const std::string& token : args)
      for (const CommandEntry& c : kCommands)
        if (o.command == Command::None && token == c.name) o.command = c.command;
    return fail(message);
  }
  // The last of a repeated option counts, as with most programs.
  auto last = [&](const QCommandLineOption& option) { return restore(parser.values(option).last()); };

  std::vector<std::string> positional;
  for (const QString& word : parser.positionalArguments()) positional.push_back(restore(word));
  if (!positional.empty()) {
    for (const CommandEntry& c : kCommands)
      if (positional[0] == c.name) o.command = c.command;
    if (o.command == Command::None && positional[0] != "help")
      return fail(T(CliTexts::tr("未知命令 '%1'（命令：search、read、set、calibrate、watch、history）"), positional[0]));
  }

  std::string text;
  if (parser.isSet(port)) {
    text = last(port);
    if (IsNetworkPort(text)) {
      const transports::PortSpecResult parsed = transports::ParsePortSpec(text);
      if (parsed.error != transports::PortSpecError::None) {
        // The transports' sentence as a clause of our line.
        QString why = transports::PortSpecErrorText(parsed.error);
        if (!why.isEmpty()) why[0] = why[0].toLower();
        return fail(T(CliTexts::tr("无效的端口 '%1'：%2"), text, why.toStdString()));
      }
      o.port.network = parsed.spec;
    }
    const std::optional<PortChoice> choice = o.port.network ? std::optional<PortChoice>(o.port) : ParsePort(text);
    if (!choice) return fail(T(CliTexts::tr("无效的端口 '%1'：请给出 COM1..COM15 或设备路径，例如 /dev/ttyUSB0"), text));
    o.port = *choice;
  }
  if (parser.isSet(address)) {
    long long n = 0;
    text = last(address);
    if (!ParseWhole(text, &n) || n < 1 || n > 254)
      return fail(T(CliTexts::tr("无效的地址 '%1'：总线地址为 1..254"), text));
    o.address = static_cast<int>(n);
  }
  if (parser.isSet(timeout)) {
    double seconds = 0;
    text = last(timeout);
    if (!ParseSeconds(text, &seconds) || seconds <= 0 || seconds > 86400)
      return fail(T(CliTexts::tr("无效的超时 '%1'：请给出大于 0 的秒数"), text));
    o.timeoutSeconds = seconds;
  }
  if (parser.isSet(count)) {
    long long n = 0;
    text = last(count);
    if (!ParseWhole(text, &n) || n < 1 || n > 0xFFFFFFFFLL)
      return fail(T(CliTexts::tr("无效的次数 '%1'：请给出大于 0 的整数"), text));
    o.count = static_cast<std::uint32_t>(n);
  }
  if (parser.isSet(lastAddress)) {
    long long n = 0;
    text = last(lastAddress);
    if (!ParseWhole(text, &n) || n < protocol::kScanFirstAddress || n > protocol::kScanLastAddress)
      return fail(T(CliTexts::tr("无效的最后地址 '%1'：扫描地址为 1..247"), text));
    o.lastAddress = static_cast<std::uint8_t>(n);
  }
  o.all = parser.isSet(all);
  o.json = parser.isSet(json);
  o.csv = parser.isSet(csv);
  o.yes = parser.isSet(yes);

  // "help" and "help COMMAND".
  if (!positional.empty() && positional[0] == "help") {
    out.kind = ParseOutcome::Help;
    out.helpFor = Command::None;
    if (positional.size() > 1) {
      for (const CommandEntry& c : kCommands)
        if (positional[1] == c.name) out.helpFor = c.command;
      if (out.helpFor == Command::None) return fail(T(CliTexts::tr("没有 '%1' 的帮助：它不是命令"), positional[1]));
    }
    return out;
  }
  if (parser.isSet(version)) {
    out.kind = ParseOutcome::Version;
    return out;
  }
  if (parser.isSet(help)) {
    out.kind = ParseOutcome::Help;
    out.helpFor = o.command;
    return out;
  }
  if (o.command == Command::None) return fail(T(CliTexts::tr("没有给出命令（search、read、set、calibrate、watch 或 history）")));

  // Options of one command must not be given to another.
  for (const QCommandLineOption* option :
       {&json, &csv, &count, &yes, &serial, &since, &until, &db, &noRecord, &all, &lastAddress}) {
    const std::string name = "--" + option->names().last().toStdString();
    if (parser.isSet(*option) && !CommandTakes(o.command, name))
      return fail(T(CliTexts::tr("选项 '%1' 不适用于 '%2'"), name, CommandName(o.command)));
  }
  // history reads the records database, not the line: a port or an address
  // given to it would look as if it selected something, and it does not.
  if (o.command == Command::History)
    for (const QCommandLineOption* option : {&port, &address, &timeout}) {
      const std::string name = "--" + option->names().last().toStdString();
      if (parser.isSet(*option))
        return fail(T(CliTexts::tr("选项 '%1' 不适用于 'history'（它读取记录数据库；请用 --serial 选择传感器）"), name));
    }

  const std::vector<std::string> operands(positional.begin() + 1, positional.end());
  switch (o.command) {
    case Command::Search:
    case Command::Read:
    case Command::Watch:
      if (!operands.empty())
        return fail(T(CliTexts::tr("'%1' 不带操作数，却给出了 '%2'"), CommandName(o.command), operands[0]));
      if (o.command == Command::Search && o.address)
        return fail(T(CliTexts::tr("'search' 自己遍历地址；--address 不适用")));
      if (o.command == Command::Search && !o.all && (o.json || parser.isSet(lastAddress)))
        return fail(T(CliTexts::tr("选项 '%1' 只适用于 'search --all'"), o.json ? "--json" : "--last-address"));
      // The scan's length is set by its addresses and their wait, not by a deadline.
      if (o.command == Command::Search && o.all && o.timeoutSeconds)
        return fail(T(CliTexts::tr("选项 '--timeout' 不适用于 'search --all'")));
      break;
    case Command::Set: {
      if (operands.empty())
        return fail(T(CliTexts::tr("'set' 需要一个字段和一个值：filter、pressure、unit、address、zero、air、factory-zero、"
                      "factory-air 或 serial")));
      bool known = false;
      for (const FieldEntry& f : kFields)
        if (operands[0] == f.name) {
          o.field = f.field;
          known = true;
        }
      if (!known)
        return fail(T(CliTexts::tr("未知字段 '%1'（字段：filter、pressure、unit、address、zero、air、"
                                   "factory-zero、factory-air、serial）"),
                      operands[0]));
      if (operands.size() < 2) return fail(T(CliTexts::tr("'set %1' 需要一个值"), FieldName(o.field)));
      if (operands.size() > 2) return fail(T(CliTexts::tr("'set' 只带一个值，却还给出了 '%1'"), operands[2]));
      o.value = operands[1];
      break;
    }
    case Command::Calibrate:
      if (operands.size() != 1)
        return fail(operands.empty() ? T(CliTexts::tr("'calibrate' 需要以下之一：zero、air、restore"))
                                     : T(CliTexts::tr("'calibrate' 只带一个操作数，却还给出了 '%1'"), operands[1]));
      if (operands[0] == "zero") o.calibration = Calibration::Zero;
      else if (operands[0] == "air") o.calibration = Calibration::Air;
      else if (operands[0] == "restore") o.calibration = Calibration::Restore;
      else return fail(T(CliTexts::tr("未知标定 '%1'（zero、air 或 restore）"), operands[0]));
      break;
    case Command::History: {
      if (operands.size() != 1)
        return fail(operands.empty() ? T(CliTexts::tr("'history' 需要以下之一：readings、writes、calibrations"))
                                     : T(CliTexts::tr("'history' 只带一个操作数，却还给出了 '%1'"), operands[1]));
      HistoryArgs& h = o.history;
      if (!ParseHistoryTable(QString::fromStdString(operands[0]), &h.table))
        return fail(T(CliTexts::tr("未知表 '%1'（readings、writes 或 calibrations）"), operands[0]));
      if (o.json && o.csv) return fail(T(CliTexts::tr("请只给出 --json 或 --csv 之一，不要同时给出")));
      h.format = o.json ? HistoryArgs::Format::Json : o.csv ? HistoryArgs::Format::Csv : HistoryArgs::Format::Text;
      if (parser.isSet(serial)) {
        quint32 number = 0;
        text = last(serial);
        if (!ParseHistorySerial(QString::fromStdString(text), &number))
          return fail(T(CliTexts::tr("无效的序列号 '%1'：请按窗口显示的或传感器上印的写法给出"), text));
        h.serial = number;
      }
      for (const auto& [option, time] : {std::pair{&since, &h.since}, std::pair{&until, &h.until}}) {
        if (!parser.isSet(*option)) continue;
        QString reason;
        text = last(*option);
        if (!ParseHistoryTime(QString::fromStdString(text), time, &reason))
          return fail(T(CliTexts::tr("无效的 --%1 '%2'：请给出时间，例如 2026-03-14 或 2026-03-14T08:00:00Z"),
                        option->names().last().toStdString(), text));
      }
      if (h.since.isValid() && h.until.isValid() && h.until < h.since)
        return fail(T(CliTexts::tr("--until 早于 --since：两者之间不会有记录")));
      break;
    }
    case Command::None:
      break;
  }
  if (parser.isSet(db)) {
    text = last(db);
    if (text.empty()) return fail(T(CliTexts::tr("--db 需要一个数据库：文件路径或 postgresql://user@host/db")));
    (o.command == Command::History ? o.history.db : o.recordDb) = QString::fromStdString(text);
  }
  o.record = !parser.isSet(noRecord);
  out.kind = ParseOutcome::Run;
  return out;
}

std::string HelpText(Command command) {
  const std::string common =
      "Common options:\n"
      "  --port PORT     COM1..COM15 (resolved like the desktop tool does), a device\n"
      "                  path such as /dev/ttyUSB0 (default COM1), rtu+tcp://HOST:PORT\n"
      "                  for a serial device server passing RTU frames through TCP,\n"
      "                  or tcp://HOST:PORT for a MODBUS TCP gateway\n"
      "  --address N     talk to the sensor at bus address N (1..254) without searching\n"
      "  --timeout S     seconds to wait for a reply or an echo (default 10; the search\n"
      "                  otherwise ends after the walk passes address 254)\n"
      "  -h, --help      show the help of the command\n"
      "  --version       show the program's version\n";
  // read, set, calibrate and watch keep what they do in the records.
  const std::string recording =
      "Records (like the desktop tool's): the readings, the writes with their outcome\n"
      "and the calibrations go to the records database; see 'history'.\n"
      "  --db URL        an SQLite file or postgresql://user@host:port/db (default:\n"
      "                  the database chosen in the window, else records.sqlite in\n"
      "                  the user's data folder); a database that cannot be opened\n"
      "                  is a warning, never a failed command\n"
      "  --no-record     keep no records of this run\n";
  const std::string status =
      "Exit status: 0 success, 1 the port, the sensor or the write failed,\n"
      "2 bad arguments or a value the entry rules refuse, 130 'search --all'\n"
      "cancelled by Ctrl-C or SIGTERM (the sensors found so far are printed).\n";
  switch (command) {
    case Command::Search:
      return "Usage: sensortool-cli search [--port PORT] [--timeout S]\n"
             "       sensortool-cli search --all [--json] [--last-address N] [--port PORT]\n\n"
             "Walks the bus addresses 0, 1, 2, ... at 600 ms steps with a poll of the\n"
             "register block, like the desktop tool's automatic connection, showing the\n"
             "address being polled on stderr. Prints the address of the sensor that\n"
             "answered on stdout.\n\n"
             "With --all every address from 1 to 247 is asked in turn (150 ms wait each,\n"
             "under 40 s for the whole line) and every sensor that answers is listed:\n"
             "address, serial number, software version, dissolved oxygen. The sensors\n"
             "found are kept in the device table the desktop tool shows\n"
             "(devices.tsv in the user's data folder). Ctrl-C ends the scan early and\n"
             "still prints what was found (exit status 130).\n\n"
             "  --all             scan the whole line and list every sensor\n"
             "  --json            the list as a JSON array (address, serial_number,\n"
             "                    software_version, do_value, unit, unit_text, found_at)\n"
             "  --last-address N  end the scan at address N (1..247), for a line whose\n"
             "                    sensors sit at low addresses\n\n" +
             common + "\n" + status;
    case Command::Read:
      return "Usage: sensortool-cli read [--json] [--port PORT] [--address N]\n\n"
             "Polls the sensor once and prints every field as the desktop tool shows it\n"
             "(values cut to two decimals, three for the air calibration values).\n"
             "Without --address the bus is searched first.\n\n"
             "  --json          one JSON object instead of one field per line\n\n" +
             recording + "\n" + common + "\n" + status;
    case Command::Set:
      return "Usage: sensortool-cli set FIELD VALUE [--port PORT] [--address N]\n\n"
             "Writes one setting. The write is repeated every 900 ms until the sensor\n"
             "echoes it (or --timeout passes), then the register block is read back.\n\n"
             "Fields:\n"
             "  filter N          filter setting, 1..99\n"
             "  pressure X        atmospheric pressure, 50..200\n"
             "  unit U            mg/L (or 1), % (or 0), or toggle\n"
             "  address N         new bus address, 1..254 (read back at the new address)\n"
             "  zero X            zero calibration value, 0..20000\n"
             "  air X             air calibration value, 0..20000\n"
             "  factory-zero X    factory zero calibration, 0..20000\n"
             "  factory-air X     factory air calibration, 0..20000\n"
             "  serial N          serial number, 0..4294967295\n\n" +
             recording + "\n" + common + "\n" + status;
    case Command::Calibrate:
      return "Usage: sensortool-cli calibrate zero|air|restore [--yes] [--port PORT] [--address N]\n\n"
             "Sends a calibration command to the sensor: zero calibration (in oxygen-free\n"
             "water), air calibration (in air) or restore of the factory calibration.\n"
             "Asks for confirmation on stdin first; answer y, yes or 是 to go on.\n"
             "When recording, the command goes on polling after the echo until the sensor\n"
             "has had its 5 s to settle and one more reading came (at most about 7.5 s,\n"
             "told on stderr), so the record holds the values after the calibration;\n"
             "without such a reading the \"after\" side is recorded as unknown.\n\n"
             "  -y, --yes       do not ask\n\n" +
             recording + "\n" + common + "\n" + status;
    case Command::Watch:
      return "Usage: sensortool-cli watch [--csv] [--count N] [--port PORT] [--address N]\n\n"
             "Polls the sensor every 2 s and prints one line per reply: time (ISO 8601),\n"
             "address, dissolved oxygen and unit, temperature, status, phase difference.\n"
             "Polls without a valid reply are reported on stderr.\n\n"
             "  --csv           comma-separated rows with a header line, every signal field\n"
             "  --count N       stop after N lines (default: run until interrupted)\n\n" +
             recording + "\n" + common + "\n" + status;
    case Command::History:
      return "Usage: sensortool-cli history readings|writes|calibrations [--serial N] [--since T]\n"
             "                              [--until T] [--json|--csv] [--db URL]\n\n"
             "Prints what the records database holds: the accepted readings, the writes\n"
             "made to the sensors (queued, confirmed or failed and why) or the\n"
             "calibrations with their values before and after. Reads the database only;\n"
             "no port is opened.\n\n"
             "  --serial N      only the sensor with this serial number (signed as the\n"
             "                  windows show it, or unsigned as printed on the sensor)\n"
             "  --since T       from this time on (ISO 8601: 2026-03-14, 2026-03-14T08:00,\n"
             "                  with Z or an offset; local time without one)\n"
             "  --until T       up to this time\n"
             "  --json          a JSON array instead of a table\n"
             "  --csv           comma-separated rows with a header line\n"
             "  --db URL        an SQLite file or postgresql://user@host:port/db (default:\n"
             "                  the database chosen in the window, else records.sqlite in\n"
             "                  the user's data folder)\n"
             "  -h, --help      show this help\n\n" +
             status;
    case Command::None:
      break;
  }
  return "Usage: sensortool-cli COMMAND [OPTIONS]\n\n"
         "Command-line client for the fluorescent dissolved-oxygen sensor on a\n"
         "MODBUS-RTU line (9600 baud, 8 data bits, no parity, 1 stop bit).\n\n"
         "Commands:\n"
         "  search [--all]                  find the sensor's bus address (--all: list\n"
         "                                  every sensor on the line)\n"
         "  read [--json]                   show every field of the sensor\n"
         "  set FIELD VALUE                 change a setting (see 'set --help')\n"
         "  calibrate zero|air|restore      run a calibration command\n"
         "  watch [--csv] [--count N]       one line per poll, every 2 s\n"
         "  history readings|writes|calibrations\n"
         "                                  what the records database holds\n"
         "  help [COMMAND]                  show help\n\n" +
         common + "\n" + status;
}

bool IsConfirmation(const std::string& answer) {
  const std::size_t begin = answer.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos) return false;
  const std::size_t end = answer.find_last_not_of(" \t\r\n");
  const std::string word = Lower(answer.substr(begin, end - begin + 1));
  return word == "y" || word == "yes" || word == "是";
}

// ---- set VALUE ----

namespace {

bool IsNumberField(SetField field) {
  return field == SetField::Pressure || field == SetField::Zero || field == SetField::Air ||
         field == SetField::FactoryZero || field == SetField::FactoryAir;
}

int EntryKindOf(SetField field) {
  switch (field) {
    case SetField::Filter: return protocol::EntryFilter;
    case SetField::Address: return protocol::EntryDeviceAddress;
    case SetField::Serial: return protocol::EntrySerialNumber;
    case SetField::Pressure: return protocol::EntryPressure;
    case SetField::Zero: return protocol::EntryZeroCalValue;
    case SetField::Air: return protocol::EntryAirCalValue;
    case SetField::FactoryZero: return protocol::EntryFactoryZeroCal;
    case SetField::FactoryAir: return protocol::EntryFactoryAirCal;
    case SetField::Unit: break;
  }
  return -1;
}

}  // namespace

std::optional<SetValue> CheckSetValue(SetField field, const std::string& text, std::string* message) {
  SetValue v;
  v.field = field;
  if (field == SetField::Unit) {
    const std::string lower = Lower(text);
    if (lower == "toggle") v.toggleUnit = true;
    else if (lower == "mg/l" || lower == "1") v.integer = 1;
    else if (lower == "%" || lower == "0") v.integer = 0;
    else {
      *message = T(CliTexts::tr("无效的单位 '%1'：请给出 mg/L（或 1）、%（或 0）或 toggle"), text);
      return std::nullopt;
    }
    return v;
  }
  const int kind = EntryKindOf(field);
  if (IsNumberField(field)) {
    const std::optional<float> parsed = protocol::ParseEntryNumber(text);
    if (!parsed) {
      *message = SensorTextUtf8(protocol::entry_texts::kNumberParse);
      return std::nullopt;
    }
    if (const char* refusal = protocol::NumberEntryRangeError(kind, *parsed)) {
      *message = SensorTextUtf8(refusal);
      return std::nullopt;
    }
    v.number = *parsed;
    return v;
  }
  const std::optional<std::uint32_t> parsed = protocol::ParseEntryInteger(text);
  if (!parsed) {
    *message = SensorTextUtf8(protocol::entry_texts::kIntegerParse);
    return std::nullopt;
  }
  if (const char* refusal = protocol::IntegerEntryRangeError(kind, *parsed)) {
    *message = SensorTextUtf8(refusal);
    return std::nullopt;
  }
  v.integer = *parsed;
  return v;
}

protocol::EntryWrite BuildSetWrite(const SetValue& value, std::uint8_t address,
                                   const protocol::SensorReading& latest) {
  if (value.field == SetField::Unit) {
    const std::uint16_t unit =
        value.toggleUnit ? protocol::ToggledUnit(latest.unit) : static_cast<std::uint16_t>(value.integer);
    // To the address the session talks to, never to the address register's
    // contents: that may read 0, a broadcast no sensor echoes.
    return {protocol::WriteUnit(address, unit), protocol::Unit};
  }
  const int kind = EntryKindOf(value.field);
  std::optional<protocol::EntryWrite> write = IsNumberField(value.field)
                                                  ? protocol::NumberEntryWrite(kind, address, value.number)
                                                  : protocol::IntegerEntryWrite(kind, address, value.integer);
  return write ? *write : protocol::EntryWrite{};
}

bool ReadBackMatches(const SetValue& value, const protocol::EntryWrite& write,
                     const protocol::SensorReading& r) {
  auto sameFloat = [&](float got) { return protocol::FloatBits(got) == protocol::FloatBits(value.number); };
  switch (value.field) {
    case SetField::Filter: return r.filter == (value.integer & 0xFFFF);
    case SetField::Address: return r.deviceAddress == (value.integer & 0xFFFF);
    case SetField::Serial: return r.serialNumber == value.integer;
    case SetField::Pressure: return sameFloat(r.pressure);
    case SetField::Zero: return sameFloat(r.zeroCalValue);
    case SetField::Air: return sameFloat(r.airCalValue);
    case SetField::FactoryZero: return sameFloat(r.factoryZeroCal);
    case SetField::FactoryAir: return sameFloat(r.factoryAirCal);
    case SetField::Unit:
      // The data word of the 11-byte write.
      return write.frame.size() == 11 && r.unit == ((write.frame[7] << 8) | write.frame[8]);
  }
  return false;
}

}  // namespace cli
