#include "app/port_list_tooltips.h"

#include <QComboBox>
#include <QEvent>

#include "serial/port_naming.h"

namespace {
// Events of one reach for the list (press, release, the popup's own keys)
// come within this time; later ones fill again.
constexpr qint64 kFillValidMs = 1000;
}  // namespace

PortListToolTips::PortListToolTips(QComboBox* list) : QObject(list), m_list(list) { list->installEventFilter(this); }

void PortListToolTips::Fill() {
  const QStringList devices = ResolvePortNames(m_list->count());
  for (int i = 0; i < m_list->count() && i < devices.size(); ++i)
    m_list->setItemData(i, devices[i].isEmpty() ? tr("未找到对应的串口设备") : devices[i], Qt::ToolTipRole);
  m_filled.start();
}

bool PortListToolTips::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_list) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::KeyPress:
      case QEvent::ToolTip:
        if (!m_filled.isValid() || m_filled.elapsed() > kFillValidMs) Fill();
        break;
      default: break;
    }
  }
  return QObject::eventFilter(watched, event);
}
