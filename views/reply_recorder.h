#pragma once
#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>

namespace views {

// Appends every accepted poll reply as one CSV row, in the column layout
// `sensortool-cli watch --csv` prints, to a file the operator chose. Nothing
// is written until Start() succeeds; each row reaches the file as it is
// recorded so a crash loses nothing already recorded, and a row that could
// not be written whole is taken back so no spreadsheet reads a cut number.
class ReplyRecorder : public QObject {
  Q_OBJECT

 public:
  explicit ReplyRecorder(QObject* parent = nullptr);
  ~ReplyRecorder() override;

  // Opens `path` for appending (a new or empty file first gets the header
  // row). Refuses at once what is not a regular file (a FIFO would block, a
  // device is no record) and a file holding other columns. On failure
  // returns false with the reason in *error and stays idle.
  bool Start(const QString& path, QString* error);
  void Stop();
  bool IsRecording() const { return m_file.isOpen(); }
  QString Path() const { return m_file.fileName(); }
  qint64 RowsWritten() const { return m_rows; }

  // One 77-byte reply received at `when`. Returns false when the row could not
  // be written or the file is no longer at its path; recording then stops and
  // Failed() is emitted with the reason.
  bool Record(const QByteArray& reply, const QDateTime& when);

  // The header row and the row for one reply, without line end.
  static QString HeaderRow();
  static QString Row(const QByteArray& reply, const QDateTime& when);

 signals:
  void RecordingChanged(bool recording);
  void Failed(const QString& reason);

 private:
  // Writes `bytes` at the end; on failure cuts the file back to where it was
  // and returns the system's reason.
  bool Append(const QByteArray& bytes, QString* reason);
  bool StillAtItsPath() const;
  void Fail(const QString& reason);

  QFile m_file;
  qint64 m_rows = 0;
  quint64 m_device = 0;  // identity of the open file, to notice a delete or a move
  quint64 m_inode = 0;
};

}  // namespace views
