#include "dialogs/dialog_support.h"

#include <QHash>
#include <utility>
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPalette>
#include <QVariant>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace ui {

QString ApplicationName() { return QCoreApplication::translate("ui", "传感器配置"); }

QString SensorText(const char* text) { return QCoreApplication::translate("SensorTexts", text); }

std::string SensorTextUtf8(const char* text) { return SensorText(text).toStdString(); }

QColor FromColourRef(std::uint32_t c) {
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics fm(font);
  // The average width of the 52 Latin letters, rounded as the dialog manager does.
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int total = fm.horizontalAdvance(letters);
  DialogBaseUnits units;
  units.cx = (total / 26 + 1) / 2;
  // The em height (the font's pixel size on this screen, so it follows the
  // DPI), as the dialog manager takes the character height. The line height
  // (ascent + descent + leading) of a CJK face is nearly half as tall again
  // and would stretch every template past a small screen.
  units.cy = QFontInfo(font).pixelSize();
  if (units.cy <= 0) units.cy = fm.ascent() + fm.descent();
  return units;
}

void ApplyDialogUnits(QWidget* window, int widthDu, int heightDu) {
  ApplyDialogUnits(window, widthDu, heightDu, window->font());
}

void ApplyDialogUnits(QWidget* window, int widthDu, int heightDu, const QFont& unitsFont) {
  const DialogBaseUnits u = BaseUnitsOf(unitsFont);
  auto px = [&](int du, bool horizontal) {
    return horizontal ? (du * u.cx + 2) / 4 : (du * u.cy + 4) / 8;
  };
  for (QObject* child : window->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || w->isWindow()) continue;
    const QRect du = w->geometry();
    w->setGeometry(px(du.x(), true), px(du.y(), false), px(du.width(), true), px(du.height(), false));
  }
  window->setFixedSize(px(widthDu, true), px(heightDu, false));
}

QFont MainWindowFont() {
  const QStringList wanted{QStringLiteral("SimHei"), QStringLiteral("黑体"), QStringLiteral("Noto Sans CJK SC"),
                           QStringLiteral("WenQuanYi Zen Hei")};
  // The first that is installed, as the only family: given a list, Qt asks
  // fontconfig for the fallbacks of every script the text uses as soon as the
  // font loads (a sort of all installed fonts each time), even when the face
  // has every glyph. One family asks only when a glyph is missing.
  static const QString installed = [&wanted] {
    const QStringList families = QFontDatabase::families();
    for (const QString& family : wanted)
      if (families.contains(family, Qt::CaseInsensitive)) return family;
    return QString();
  }();
  QFont font;
  if (installed.isEmpty())
    font.setFamilies(wanted);
  else
    font.setFamily(installed);
  font.setPointSize(9);
  return font;
}

QFont CellFont(const QString& family, int height, int width, int weight) {
  // Every window asks for the same few cell fonts, each time it opens; a
  // measurement loads a font engine, so each is measured once per run (GUI
  // thread only, as fonts are).
  struct Key {
    QString family;
    int height, width, weight;
    bool operator==(const Key& o) const {
      return family == o.family && height == o.height && width == o.width && weight == o.weight;
    }
  };
  static std::vector<std::pair<Key, QFont>> made;
  // Per family, the cell height and the average character width per pixel
  // of em, measured once at a size large enough for the ratios to be exact:
  // both scale with the em, so no font is loaded at the cell's own size just
  // to be measured.
  struct PerEm {
    double cell = 1.0;
    double averageWidth = 0.0;
  };
  static QHash<QString, PerEm> perEmOf;
  const Key key{family, height, width, weight};
  for (const auto& entry : made)
    if (entry.first == key) return entry.second;

  QFont font(family);
  font.setStyleHint(QFont::SansSerif);
  auto known = perEmOf.constFind(family);
  if (known == perEmOf.constEnd()) {
    QFont probe(family);
    probe.setStyleHint(QFont::SansSerif);
    probe.setPixelSize(100);
    const QFontMetricsF pm(probe);
    PerEm perEm;
    if (pm.ascent() + pm.descent() > 0) perEm.cell = (pm.ascent() + pm.descent()) / 100.0;
    perEm.averageWidth = pm.averageCharWidth() / 100.0;
    known = perEmOf.insert(family, perEm);
  }
  const int em = qMax(1, qRound(height / known->cell));
  font.setPixelSize(em);
  const double averageWidth = known->averageWidth * em;
  if (width > 0 && averageWidth > 0) font.setStretch(qBound(1, qRound(100.0 * width / averageWidth), 4000));
  // 0..1000 as Qt's 1..1000 weight scale.
  font.setWeight(static_cast<QFont::Weight>(qBound(1, weight, 1000)));
  made.emplace_back(key, font);
  return font;
}

QWidget* FindControl(QWidget* root, int id) {
  const auto widgets = root->findChildren<QWidget*>();
  for (QWidget* w : widgets) {
    const QVariant v = w->property("controlId");
    if (v.isValid() && v.toInt() == id) return w;
  }
  return nullptr;
}

void SetControlColours(QWidget* control, QColor text, QColor background) {
  QPalette p = control->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    p.setColor(group, QPalette::Text, text);
    p.setColor(group, QPalette::WindowText, text);
    p.setColor(group, QPalette::Base, background);
    p.setColor(group, QPalette::Window, background);
  }
  control->setPalette(p);
  control->setAutoFillBackground(true);
}

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon) {
  QMessageBox box(icon, ApplicationName(), text, QMessageBox::Ok, parent);
  box.exec();
}

namespace {

class BackgroundDrag : public QObject {
 public:
  explicit BackgroundDrag(QWidget* window) : QObject(window), m_window(window) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != m_window || QWidget::mouseGrabber() == m_window) return false;
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return false;
        // The window manager moves the window where it can; else follow the mouse.
        if (m_window->windowHandle() && m_window->windowHandle()->startSystemMove()) return true;
        m_dragging = true;
        m_offset = mouse->globalPosition().toPoint() - m_window->frameGeometry().topLeft();
        return true;
      }
      case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!m_dragging || !(mouse->buttons() & Qt::LeftButton)) return false;
        m_window->move(mouse->globalPosition().toPoint() - m_offset);
        return true;
      }
      case QEvent::MouseButtonRelease:
        m_dragging = false;
        return false;
      default:
        return false;
    }
  }

 private:
  QWidget* m_window;
  bool m_dragging = false;
  QPoint m_offset;
};

}  // namespace

void MoveByBackground(QWidget* window) { window->installEventFilter(new BackgroundDrag(window)); }

void SetBoxText(QLineEdit* box, const QString& text) {
  if (box && box->text() != text) box->setText(text);
}

}  // namespace ui
