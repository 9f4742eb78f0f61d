// sensortool-cli: the sensor tool's protocol core and serial layer for
// scripts and headless machines.
#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "cli/cli_session.h"
#include "sensortool_version.h"

namespace {

// Help and version text: a reader that cannot get it is told so by the status.
int PrintInfo(const std::string& text) {
  std::string reason;
  switch (cli::WriteAll(1, text, &reason)) {
    case cli::WriteOutcome::Written: return cli::kExitOk;
    case cli::WriteOutcome::ReaderGone: return cli::kExitFailed;
    case cli::WriteOutcome::Failed: break;
  }
  std::fprintf(stderr, "sensortool-cli: cannot write to standard output: %s\n", reason.c_str());
  return cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  // Started with standard output closed (`read >&-`), the port or any other
  // file opened later would take descriptor 1 and get the results.
  if (!cli::DescriptorOpen(1)) {
    std::fprintf(stderr, "sensortool-cli: standard output is closed; nothing to write the result to\n");
    return cli::kExitFailed;
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  const cli::ParseOutcome parsed = cli::ParseArguments(args);
  const std::string helpHint = parsed.options.command == cli::Command::None
                                   ? std::string("sensortool-cli --help")
                                   : std::string("sensortool-cli ") + cli::CommandName(parsed.options.command) + " --help";
  switch (parsed.kind) {
    case cli::ParseOutcome::Help:
      return PrintInfo(cli::HelpText(parsed.helpFor));
    case cli::ParseOutcome::Version:
      return PrintInfo(std::string("sensortool-cli ") + SENSORTOOL_VERSION + "\n");
    case cli::ParseOutcome::Error:
      std::fprintf(stderr, "sensortool-cli: %s\nTry '%s'.\n", parsed.message.c_str(), helpHint.c_str());
      return cli::kExitUsage;
    case cli::ParseOutcome::Run:
      break;
  }

  // A value the entry windows would refuse is refused before the port opens.
  std::optional<cli::SetValue> setValue;
  if (parsed.options.command == cli::Command::Set) {
    std::string message;
    setValue = cli::CheckSetValue(parsed.options.field, parsed.options.value, &message);
    if (!setValue) {
      std::fprintf(stderr, "sensortool-cli: set %s %s: %s\n", cli::FieldName(parsed.options.field),
                   parsed.options.value.c_str(), message.c_str());
      return cli::kExitUsage;
    }
  }

  QCoreApplication app(argc, argv);
  if (parsed.options.command == cli::Command::History) {
    // Reads the database and returns: no line, no event loop.
    QTextStream out(stdout);
    QTextStream err(stderr);
    return cli::RunHistory(parsed.options.history, out, err);
  }
  cli::CliSession session(parsed.options, setValue);
  QObject::connect(&session, &cli::CliSession::Finished, &app, [](int code) { QCoreApplication::exit(code); });
  QTimer::singleShot(0, &session, [&session] { session.Start(); });
  return app.exec();
}
