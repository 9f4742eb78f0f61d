#pragma once
#include <QObject>
#include <memory>

namespace cli {

// Ctrl-C and termination requests (SIGINT and SIGTERM, the console's Ctrl-C
// and Ctrl-Break on Windows) as a Qt signal in the event loop, so a command
// can end its work cleanly instead of being killed mid-way. Installed for
// the life of the object; the system's own handling comes back after it.
class StopRequests : public QObject {
  Q_OBJECT

 public:
  explicit StopRequests(QObject* parent = nullptr);
  ~StopRequests() override;

 signals:
  void Requested();

 private:
  struct Hook;  // the platform's way in
  std::unique_ptr<Hook> hook_;
};

}  // namespace cli
