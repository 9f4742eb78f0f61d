#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>

namespace views {

// Appends every accepted poll reply, decoded and shown by the display rules,
// as one CSV row to a file the operator chose. Nothing is written until
// Start() succeeds; each row is flushed as it is written so a crash loses
// nothing already recorded.
class ReplyRecorder : public QObject {
  Q_OBJECT

 public:
  explicit ReplyRecorder(QObject* parent = nullptr);
  ~ReplyRecorder() override;

  // Opens `path` for appending (a new or empty file first gets the header
  // row). On failure returns false with the reason in *error and stays idle.
  bool Start(const QString& path, QString* error);
  void Stop();
  bool IsRecording() const { return m_file.isOpen(); }
  QString Path() const { return m_file.fileName(); }
  qint64 RowsWritten() const { return m_rows; }

  // One 77-byte reply received at `when`. Returns false when the row could not
  // be written; recording then stops and Failed() is emitted with the reason.
  bool Record(const QByteArray& reply, const QDateTime& when);

  // The header row and the row for one reply, without line end.
  static QString HeaderRow();
  static QString Row(const QByteArray& reply, const QDateTime& when);

 signals:
  void RecordingChanged(bool recording);
  void Failed(const QString& reason);

 private:
  QFile m_file;
  qint64 m_rows = 0;
};

}  // namespace views
