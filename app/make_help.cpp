// Builds a user manual (help.pdf, help_en.pdf) from its HTML source with Qt's
// PDF writer; the PDF's title is the HTML's <title>.
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>
#include <cstdio>

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-help SOURCE.html OUTPUT.pdf\n");
    return 2;
  }
  QFile source(QString::fromLocal8Bit(argv[1]));
  if (!source.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "make-help: cannot read %s\n", argv[1]);
    return 1;
  }
  QTextDocument document;
  QFont font;
  // Latin letters and digits from a TrueType Latin face, Chinese from a
  // TrueType CJK face. Taken from the CFF-based CJK faces, the PDF's text layer
  // lost every digit ("COM 到 COM") and mapped 口 and 工 to the look-alike
  // Kangxi radicals, so the manual could be neither searched nor copied.
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("WenQuanYi Zen Hei"),
                    QStringLiteral("Noto Sans CJK SC")});
  font.setPointSize(10);
  document.setDefaultFont(font);
  // Pictures in the manual are found beside its source.
  document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(source).absolutePath() + QLatin1Char('/')));
  document.setHtml(QString::fromUtf8(source.readAll()));

  QPdfWriter writer(QString::fromLocal8Bit(argv[2]));
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageMargins(QMarginsF(18, 18, 18, 18), QPageLayout::Millimeter);
  writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
  writer.setCreator(QStringLiteral("make-help"));
  document.print(&writer);
  return QFileInfo::exists(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
