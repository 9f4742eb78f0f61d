#pragma once
#include <QCoreApplication>

namespace cli {

// The context of the client's own messages for Qt's translation: written in
// Chinese like every text of the tool, English from translations/.
class CliTexts {
  Q_DECLARE_TR_FUNCTIONS(cli::CliTexts)
};

}  // namespace cli
