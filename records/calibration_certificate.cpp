#include "records/calibration_certificate.h"

#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include "protocol/display_rules.h"
#include "records/record_format.h"
#include "sensortool_version.h"

namespace records {
namespace {

QString Value(double v) {
  const QString text = NumberText(v);
  return text.isEmpty() ? QStringLiteral("—") : text;
}

QString Row(const QString& label, const QString& before, const QString& after) {
  return QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td><td align=\"right\">%3</td></tr>")
      .arg(label.toHtmlEscaped(), before.toHtmlEscaped(), after.toHtmlEscaped());
}

QString Field(const QString& label, const QString& value) {
  return QStringLiteral("<tr><td width=\"30%\"><b>%1</b></td><td>%2</td></tr>")
      .arg(label.toHtmlEscaped(), value.toHtmlEscaped());
}

QString DoLabel(const SensorSnapshot& s) {
  return Value(s.doValue) + QLatin1Char(' ') + QString::fromUtf8(protocol::UnitText(static_cast<std::uint16_t>(s.unit)));
}

}  // namespace

QString CalibrationCertificateHtml(const CalibrationRecord& c) {
  const SensorSnapshot& b = c.before;
  const SensorSnapshot& a = c.after;
  QString html = QStringLiteral(
      "<html><body>"
      "<h2 align=\"center\">溶解氧传感器标定证书</h2>"
      "<p align=\"center\">Tarn 一体化荧光法溶解氧仪</p>"
      "<table width=\"100%\" cellpadding=\"4\" border=\"1\" cellspacing=\"0\">");
  html += Field(QStringLiteral("传感器序列号"), SerialText(c.serial));
  html += Field(QStringLiteral("设备地址"), QString::number(c.address));
  html += Field(QStringLiteral("标定类型"), CalibrationKindLabel(c.kind));
  html += Field(QStringLiteral("标定时间"), c.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t")));
  html += Field(QStringLiteral("操作员"), c.operatorName);
  html += Field(QStringLiteral("命令时稳定性"), c.stabilityText);
  html += QStringLiteral(
      "</table><h3>标定前后</h3>"
      "<table width=\"100%\" cellpadding=\"4\" border=\"1\" cellspacing=\"0\">"
      "<tr><th align=\"left\">项目</th><th align=\"right\">标定前</th><th align=\"right\">标定后</th></tr>");
  html += Row(QStringLiteral("溶解氧"), DoLabel(b), DoLabel(a));
  html += Row(QStringLiteral("温度 (℃)"), Value(b.temperature), Value(a.temperature));
  html += Row(QStringLiteral("大气压强 (kPa)"), Value(b.pressure), Value(a.pressure));
  html += Row(QStringLiteral("零点标定"), Value(b.zeroCal), Value(a.zeroCal));
  html += Row(QStringLiteral("空气标定"), Value(b.airCal), Value(a.airCal));
  html += QStringLiteral("</table>");
  html += QStringLiteral("<p><br/><br/>签字：______________________　　日期：______________</p>");
  html += QStringLiteral("<p><small>由 SensorTool %1 根据记录数据库生成。“—”表示传感器未送出该值。</small></p>")
              .arg(QStringLiteral(SENSORTOOL_VERSION));
  html += QStringLiteral("</body></html>");
  return html;
}

bool WriteCalibrationCertificate(const CalibrationRecord& c, const QString& path, QString* error) {
  // QPdfWriter reports nothing when it cannot write: check the place first.
  QFile probe(path);
  if (!probe.open(QIODevice::WriteOnly)) {
    *error = QStringLiteral("无法写入 %1：%2").arg(path, probe.errorString());
    return false;
  }
  probe.close();
  {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("溶解氧传感器标定证书 %1").arg(SerialText(c.serial)));
    writer.setCreator(QStringLiteral("SensorTool %1").arg(QStringLiteral(SENSORTOOL_VERSION)));
    QTextDocument document;
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")});
    font.setPointSize(11);
    document.setDefaultFont(font);
    document.setHtml(CalibrationCertificateHtml(c));
    document.print(&writer);
  }
  if (QFileInfo(path).size() == 0) {
    *error = QStringLiteral("无法生成 PDF：%1").arg(path);
    return false;
  }
  return true;
}

bool WriteCalibrationsCsv(const QList<CalibrationRecord>& calibrations, const QString& path, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
    return false;
  }
  QString text = QString(QChar(0xFEFF)) + CsvLine(CalibrationColumns()) + QStringLiteral("\r\n");
  for (const CalibrationRecord& c : calibrations) text += CsvLine(CalibrationRow(c)) + QStringLiteral("\r\n");
  file.write(text.toUtf8());
  if (!file.commit()) {
    *error = QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
    return false;
  }
  return true;
}

}  // namespace records
