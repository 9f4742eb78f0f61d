// The templates' layouts after conversion to pixels with the fonts of this
// machine: nothing overlaps, everything lies inside its window (and inside the
// group it sits in), and no caption or likely value is clipped.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "dialogs/calibration_prompts.h"
#include "dialogs/factory_info_dialog.h"
#include "dialogs/sensor_config_dialog.h"
#include "dialogs/sensor_signal_dialog.h"
#include "dialogs/value_entry_dialogs.h"
#include "test_support.h"

namespace {

std::string Name(const QWidget* w) { return w->objectName().toStdString(); }

// Checks one window; `widest` gives, per box id, the widest text it must show.
void CheckLayout(QWidget* window, const std::map<int, QString>& widest) {
  window->show();
  const QRect inside = window->rect();
  QList<QWidget*> controls;
  for (QObject* child : window->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (w && !w->isWindow() && w->isVisible()) controls << w;
  }
  ASSERT_FALSE(controls.isEmpty());

  for (QWidget* w : controls) {
    EXPECT_TRUE(inside.contains(w->geometry())) << Name(w) << " leaves the window";
    const QFontMetrics fm(w->font());
    if (auto* group = qobject_cast<QGroupBox*>(w)) {
      if (!group->title().isEmpty()) {
        EXPECT_LE(fm.horizontalAdvance(group->title()) + 16, group->width()) << Name(w);
      }
      continue;
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
      const int flags = label->wordWrap() ? Qt::TextWordWrap : 0;
      const QRect need = fm.boundingRect(QRect(0, 0, label->width(), 1000), flags, label->text());
      EXPECT_LE(need.width(), label->width()) << Name(w) << " text clipped";
      EXPECT_LE(need.height(), label->height()) << Name(w) << " text clipped";
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      EXPECT_LE(fm.horizontalAdvance(button->text()) + 8, button->width()) << Name(w);
      EXPECT_LE(fm.height() + 2, button->height()) << Name(w);
    } else if (auto* box = qobject_cast<QLineEdit*>(w)) {
      const int id = box->property("controlId").toInt();
      const auto it = widest.find(id);
      if (it != widest.end()) {
        // Frame and the edit's own side margins take about 8 pixels.
        EXPECT_LE(fm.horizontalAdvance(it->second) + 8, box->width())
            << Name(w) << " cannot show " << it->second.toStdString();
      }
      EXPECT_LE(fm.height() + 4, box->height()) << Name(w) << " too low for its font";
    }
  }

  // Siblings must not overlap, except a control lying wholly inside a group.
  for (int i = 0; i < controls.size(); ++i) {
    for (int j = i + 1; j < controls.size(); ++j) {
      QWidget* a = controls[i];
      QWidget* b = controls[j];
      const bool aGroup = qobject_cast<QGroupBox*>(a) != nullptr;
      const bool bGroup = qobject_cast<QGroupBox*>(b) != nullptr;
      if (aGroup || bGroup) {
        QWidget* group = aGroup ? a : b;
        QWidget* other = aGroup ? b : a;
        if (aGroup && bGroup) {
          EXPECT_FALSE(a->geometry().intersects(b->geometry())) << Name(a) << " / " << Name(b);
        } else if (group->geometry().intersects(other->geometry())) {
          // Inside, and clear of the group's title line.
          const QRect body = group->geometry().adjusted(2, QFontMetrics(group->font()).height(), -2, -2);
          EXPECT_TRUE(body.contains(other->geometry())) << Name(other) << " straddles " << Name(group);
        }
        continue;
      }
      EXPECT_FALSE(a->geometry().intersects(b->geometry())) << Name(a) << " overlaps " << Name(b);
    }
  }
  window->hide();
}

}  // namespace

TEST(Layout, EntryWindowsAndPrompts) {
  protocol::AppState state;
  {
    CIntInputDlg w(state);
    CheckLayout(&w, {{1029, "4294967295"}});
  }
  {
    CValueInputDlg w(state);
    CheckLayout(&w, {{1029, "-12345.7"}});
  }
  CZeroCalDlg zero(state);
  CheckLayout(&zero, {});
  CAirCalDlg air(state);
  CheckLayout(&air, {});
  CZeroCalWaitDlg zeroWait(state);
  CheckLayout(&zeroWait, {});
  CAirCalWaitDlg airWait(state);
  CheckLayout(&airWait, {});
  CFactoryResetDlg reset(state);
  CheckLayout(&reset, {});
}

TEST(Layout, SensorWindows) {
  protocol::AppState state;
  {
    CSensorConfigDlg w(state);
    CheckLayout(&w, {{1029, "mg/L"}, {1030, "65535"}, {1031, "-12345.7"}, {1032, "-12345.7"},
                     {1033, "-1234.57"}, {1034, "-12345.7"}, {1035, "-12345.7"}, {1036, "65535"}});
  }
  {
    CSensorSignalDlg w(state);
    CheckLayout(&w, {{1029, "-12345.7"}, {1030, "-12345.7"}, {1031, "-12345.7"},
                     {1032, "65535"}, {1033, "65535"}, {1034, "65535"}, {1035, "65535"}});
  }
  {
    CFactoryInfoDlg w(state);
    CheckLayout(&w, {{1029, "12345.7"}, {1030, "-2147483648"}, {1031, "-12345.7"},
                     {1032, "-12345.7"}});
  }
}
