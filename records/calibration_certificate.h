#pragma once
#include <QList>
#include <QString>

#include "records/record_types.h"

namespace records {

// The certificate's content as HTML: sensor, kind, time, operator, the
// stability verdict at the command, and the readings and calibration values
// before and after. Values the sensor did not send are shown as "—".
QString CalibrationCertificateHtml(const CalibrationRecord& calibration);

// Writes the certificate to `path` as a one-page A4 PDF. On failure returns
// false with the reason in *error.
bool WriteCalibrationCertificate(const CalibrationRecord& calibration, const QString& path, QString* error);

// The rows as a CSV file (UTF-8 with a byte-order mark, so spreadsheet
// programs read the Chinese labels), header first.
bool WriteCalibrationsCsv(const QList<CalibrationRecord>& calibrations, const QString& path, QString* error);

}  // namespace records
