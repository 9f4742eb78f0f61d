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
#include "cli/cli_texts.h"
#include "app/language.h"
#include "sensortool_version.h"

#ifndef _WIN32
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32
// Ctrl-C or SIGTERM (the usual end of `watch`): the event loop ends, the
// session writes what it recorded, and the program then ends by the same
// signal, so the caller sees the status it expects. A second signal while
// the records are written ends it at once.
int g_signalPipe[2] = {-1, -1};

void OnStopSignal(int signalNumber) {
  std::signal(signalNumber, SIG_DFL);
  const unsigned char number = static_cast<unsigned char>(signalNumber);
  [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &number, 1);
}

// Returns the signal that ended the loop, or 0.
int* WatchStopSignals(QObject* parent) {
  static int received = 0;
  if (::pipe(g_signalPipe) != 0) return &received;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
    unsigned char number = 0;
    if (::read(g_signalPipe[0], &number, 1) == 1) received = number;
    QCoreApplication::exit(cli::kExitFailed);
  });
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  return &received;
}
#endif

void Err(const QString& line) {
  std::fprintf(stderr, "sensortool-cli: %s\n", line.toUtf8().constData());
}

// Help and version text: a reader that cannot get it is told so by the status.
int PrintInfo(const std::string& text) {
  std::string reason;
  switch (cli::WriteAll(1, text, &reason)) {
    case cli::WriteOutcome::Written: return cli::kExitOk;
    case cli::WriteOutcome::ReaderGone: return cli::kExitFailed;
    case cli::WriteOutcome::Failed: break;
  }
  Err(cli::CliTexts::tr("无法写入标准输出：%1").arg(QString::fromStdString(reason)));
  return cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // Started with standard output closed (`read >&-`), the port or any other
  // file opened later would take descriptor 1 and get the results; so it is
  // looked at before anything opens a file.
  const bool outputOpen = cli::DescriptorOpen(1);
  QCoreApplication app(argc, argv);
  // The window's rule: English when the environment names it, else Chinese.
  i18n::Translators translators;
  translators.Apply(app, i18n::SystemLanguage());
  if (!outputOpen) {
    Err(cli::CliTexts::tr("标准输出已关闭；结果无处可写"));
    return cli::kExitFailed;
  }
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
      Err(QString::fromStdString(parsed.message) + QLatin1Char('\n') +
          cli::CliTexts::tr("请试试 '%1'。").arg(QString::fromStdString(helpHint)));
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
      Err(QStringLiteral("set %1 %2: %3")
              .arg(QLatin1String(cli::FieldName(parsed.options.field)), QString::fromStdString(parsed.options.value),
                   QString::fromStdString(message)));
      return cli::kExitUsage;
    }
  }

  if (parsed.options.command == cli::Command::History) {
    // Reads the database and returns: no line, no event loop.
    QTextStream out(stdout);
    QTextStream err(stderr);
    return cli::RunHistory(parsed.options.history, out, err);
  }
  int exitCode = cli::kExitFailed;
#ifndef _WIN32
  int stopSignal = 0;
#endif
  {
    cli::CliSession session(parsed.options, setValue);
#ifndef _WIN32
    const int* stoppedBy = WatchStopSignals(&app);
#endif
    QObject::connect(&session, &cli::CliSession::Finished, &app, [](int code) { QCoreApplication::exit(code); });
    QTimer::singleShot(0, &session, [&session] { session.Start(); });
    exitCode = app.exec();
#ifndef _WIN32
    stopSignal = *stoppedBy;
#endif
  }  // the session writes its records here
#ifndef _WIN32
  if (stopSignal != 0) std::raise(stopSignal);
#endif
  return exitCode;
}
