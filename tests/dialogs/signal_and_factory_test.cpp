#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "dialogs/factory_info_dialog.h"
#include "dialogs/sensor_signal_dialog.h"
#include "dialogs/value_entry_dialogs.h"
#include "modal_script.h"
#include "test_support.h"

using protocol::RegisterBlock;

namespace {

constexpr std::uint8_t kPolled = 3;

template <typename Window>
QString BoxText(Window& window, int id) {
  QLineEdit* box = window.Box(id);
  return box ? box->text() : QStringLiteral("<no box %1>").arg(id);
}

bool WaitForRefreshes(CSensorWindow& window, int ticks) {
  QSignalSpy spy(&window.RefreshTimer(), &QTimer::timeout);
  return WaitUntil([&] { return spy.count() >= ticks; }, 3000 * ticks);
}

RegisterBlock SignalBlock() {
  RegisterBlock block;
  block.regs[protocol::DeviceType] = 2;
  block.SetFloat(protocol::PhaseDiff, 10.5f);
  block.SetFloat(protocol::RedPhase, 20.25f);
  block.SetFloat(protocol::GreenPhase, -3.999f);
  block.regs[protocol::RedAmplitude] = 0xFFFF;
  block.regs[protocol::RedGain] = 4;
  block.regs[protocol::GreenAmplitude] = 1200;
  block.regs[protocol::GreenGain] = 8;
  return block;
}

protocol::AppState SignalState() {
  protocol::AppState state;
  state.link.currentAddress = kPolled;
  PutReply(state, SignalBlock(), kPolled);
  // The snapshot the main window took before the reply above arrived.
  state.signalSnapshot.phaseDiff = 1.0f;
  state.signalSnapshot.redPhase = 123.456f;
  state.signalSnapshot.greenPhase = -0.019f;
  state.signalSnapshot.redAmplitude = 500;
  state.signalSnapshot.redGain = 2;
  state.signalSnapshot.greenAmplitude = 600;
  state.signalSnapshot.greenGain = 3;
  return state;
}

}  // namespace

TEST(SensorSignal, OpensWithTheSnapshotThenFollowsThePollReply) {
  protocol::AppState state = SignalState();
  const protocol::RtuFrame before = state.link.pendingWrite;
  CSensorSignalDlg dialog(state);
  dialog.show();
  EXPECT_EQ(BoxText(dialog, 1029), "1");
  EXPECT_EQ(BoxText(dialog, 1030), "123.45");
  EXPECT_EQ(BoxText(dialog, 1031), "-0.01");
  EXPECT_EQ(BoxText(dialog, 1032), "500");
  EXPECT_EQ(BoxText(dialog, 1033), "2");
  EXPECT_EQ(BoxText(dialog, 1034), "600");
  EXPECT_EQ(BoxText(dialog, 1035), "3");

  EXPECT_EQ(dialog.RefreshTimer().interval(), 900);
  ASSERT_TRUE(WaitUntil([&] { return BoxText(dialog, 1029) == "10.5"; }));
  EXPECT_EQ(BoxText(dialog, 1030), "20.25");
  EXPECT_EQ(BoxText(dialog, 1031), "-3.99");
  EXPECT_EQ(BoxText(dialog, 1032), "65535") << "FF FF is unsigned";
  EXPECT_EQ(BoxText(dialog, 1033), "4");
  EXPECT_EQ(BoxText(dialog, 1034), "1200");
  EXPECT_EQ(BoxText(dialog, 1035), "8");

  // Frozen while the CRC is bad.
  RegisterBlock next = SignalBlock();
  next.regs[protocol::GreenGain] = 99;
  next.SetFloat(protocol::RedPhase, 1.0f);
  PutReply(state, next, kPolled);
  state.link.crcError = true;
  ASSERT_TRUE(WaitForRefreshes(dialog, 2));
  EXPECT_EQ(BoxText(dialog, 1035), "8");
  EXPECT_EQ(BoxText(dialog, 1030), "20.25");
  state.link.crcError = false;
  EXPECT_TRUE(WaitUntil([&] { return BoxText(dialog, 1035) == "99"; }));
  EXPECT_EQ(BoxText(dialog, 1030), "1");

  EXPECT_EQ(state.link.pendingWrite, before) << "the signal window never writes";
  EXPECT_EQ(state.link.pendingWriteReg, 0);
}

TEST(SensorSignal, ControlsFontsColoursAndLeaving) {
  protocol::AppState state = SignalState();
  CSensorSignalDlg dialog(state);
  dialog.show();
  EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
  auto* title = dialog.findChild<QLabel*>(QStringLiteral("titleLabel"));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text(), QString::fromUtf8("传感器信号"));
  ASSERT_NE(dialog.Button(1025), nullptr);
  EXPECT_FALSE(dialog.Button(1025)->isVisible());
  ASSERT_NE(dialog.Button(58112), nullptr);
  EXPECT_EQ(dialog.Button(58112)->text(), QString::fromUtf8("返回"));
  ExpectPromptColours(dialog.Button(1025));
  ExpectPromptColours(dialog.Button(58112));
  for (int id = 1029; id <= 1035; ++id) {
    QLineEdit* box = dialog.Box(id);
    ASSERT_NE(box, nullptr) << id;
    EXPECT_TRUE(box->isReadOnly());
    EXPECT_EQ(box->font(), dialog.BoxFont());
    EXPECT_EQ(box->palette().color(QPalette::Base), QColor(157, 195, 252)) << id;
    EXPECT_EQ(box->palette().color(QPalette::Text),
              id <= 1031 ? QColor(177, 87, 27) : QColor(87, 67, 75))
        << id;
  }
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    if (w->parentWidget() != &dialog) continue;
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }

  dialog.hide();
  ModalScript script;
  script.On<CSensorSignalDlg>([](QWidget* w) { ClickControl(w, 58112); });
  script.Start();
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(state.childDialogState, 9);

  protocol::AppState other = SignalState();
  CSensorSignalDlg second(other);
  ModalScript esc;
  esc.On<CSensorSignalDlg>([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  esc.Start();
  EXPECT_EQ(second.exec(), QDialog::Rejected);
  EXPECT_EQ(other.childDialogState, 9);
}

namespace {

RegisterBlock FactoryBlock() {
  RegisterBlock block;
  block.regs[protocol::DeviceType] = 2;
  block.SetFloat(protocol::SoftwareVersion, 1.0f);
  block.regs[30] = 0x0000;
  block.regs[31] = 0x0001;
  block.SetFloat(protocol::FactoryZeroCal, 0.019f);
  block.SetFloat(protocol::FactoryAirCal, 2.34567f);
  return block;
}

protocol::AppState FactoryState(const RegisterBlock& block) {
  protocol::AppState state;
  state.link.currentAddress = kPolled;
  PutReply(state, block, kPolled);
  return state;
}

}  // namespace

TEST(FactoryInfo, ShowsVersionSerialAndFactoryCalibrationsByTheirRules) {
  protocol::AppState state = FactoryState(FactoryBlock());
  CFactoryInfoDlg dialog(state);
  EXPECT_EQ(BoxText(dialog, 1029), "1.01");
  EXPECT_EQ(BoxText(dialog, 1030), "65536");
  EXPECT_EQ(BoxText(dialog, 1031), "0.01");
  EXPECT_EQ(BoxText(dialog, 1032), "2.345");

  RegisterBlock other = FactoryBlock();
  other.SetFloat(protocol::SoftwareVersion, 1.23f);
  other.regs[30] = 0xFFFF;
  other.regs[31] = 0xFFFF;
  other.SetU32(protocol::FactoryAirCal, 0xFFFFFFFFu);
  protocol::AppState second = FactoryState(other);
  CFactoryInfoDlg again(second);
  EXPECT_EQ(BoxText(again, 1029), "1.24");
  EXPECT_EQ(BoxText(again, 1030), "-1");
  EXPECT_EQ(BoxText(again, 1032), "0") << "a NaN shows 0";

  // Refresh and freeze.
  again.show();
  other.SetFloat(protocol::SoftwareVersion, 2.5f);
  other.SetU32(protocol::SerialNumber, 12345678u);
  PutReply(second, other, kPolled);
  second.link.crcError = true;
  ASSERT_TRUE(WaitForRefreshes(again, 2));
  EXPECT_EQ(BoxText(again, 1029), "1.24");
  EXPECT_EQ(BoxText(again, 1030), "-1");
  second.link.crcError = false;
  EXPECT_TRUE(WaitUntil([&] { return BoxText(again, 1029) == "2.51"; }));
  EXPECT_EQ(BoxText(again, 1030), "12345678");
}

TEST(FactoryInfo, ChangeButtonsQueueSerialAndFactoryCalibrations) {
  struct Case {
    int button;
    int kind;
    const char* typed;
    protocol::RtuFrame frame;
    std::uint8_t reg;
  };
  const Case cases[] = {
      {1026, 3, "4294967295", Sealed({kPolled, 0x10, 0, 30, 0, 2, 4, 0xFF, 0xFF, 0xFF, 0xFF}), 30},
      {1027, 4, "10", Sealed({kPolled, 0x10, 0, 26, 0, 2, 4, 0x00, 0x00, 0x41, 0x20}), 26},
      {1028, 5, "20000", Sealed({kPolled, 0x10, 0, 28, 0, 2, 4, 0x40, 0x00, 0x46, 0x9C}), 28},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.button);
    protocol::AppState state = FactoryState(FactoryBlock());
    CFactoryInfoDlg dialog(state);
    dialog.show();
    QString opened;
    int kindSeen = -1;
    ModalScript script;
    script.On<QDialog>([&](QWidget* w) {
      opened = QString::fromLatin1(w->metaObject()->className());
      kindSeen = state.entryKind;
      if (auto* box = ui::Control<QLineEdit>(w, 1029)) box->setText(QString::fromLatin1(c.typed));
      ClickControl(w, 1);
    }, &dialog);
    script.Start();
    ASSERT_TRUE(ClickControl(&dialog, c.button));
    EXPECT_TRUE(script.Finished());
    EXPECT_EQ(opened, c.button == 1026 ? "CIntInputDlg" : "CValueInputDlg");
    EXPECT_EQ(kindSeen, c.kind);
    EXPECT_EQ(state.link.pendingWrite, c.frame);
    EXPECT_EQ(state.link.pendingWriteReg, c.reg);
  }

  // A serial number above 32 bits is refused, not wrapped or saturated.
  protocol::AppState state = FactoryState(FactoryBlock());
  CFactoryInfoDlg dialog(state);
  dialog.show();
  ModalScript script;
  script.On<CIntInputDlg>([](QWidget* w) {
    ui::Control<QLineEdit>(w, 1029)->setText("4294967296");
    ClickControl(w, 1);
  });
  script.AcknowledgeMessage();
  script.On<CIntInputDlg>([](QWidget* w) { ClickControl(w, 2); });
  script.Start();
  ASSERT_TRUE(ClickControl(&dialog, 1026));
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(script.Messages(), QStringList{QString::fromUtf8("“请填入一个正整数。”")});
  EXPECT_TRUE(state.link.pendingWrite.empty());
  EXPECT_EQ(state.link.pendingWriteReg, 0);
}

TEST(FactoryInfo, LogoOpensTheMakersPageAndTheWindowLooksAsSetUp) {
  protocol::AppState state = FactoryState(FactoryBlock());
  CFactoryInfoDlg dialog(state);
  QList<QUrl> opened;
  dialog.SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  dialog.show();
  CImageButton* logo = dialog.Button(1033);
  ASSERT_NE(logo, nullptr);
  EXPECT_TRUE(logo->text().isEmpty());
  EXPECT_FALSE(logo->m_useDisabledImage);
  EXPECT_TRUE(logo->Bitmaps()[0].IsSet()) << "the logo bitmap 1056 is loaded";
  EXPECT_EQ(logo->Bitmaps()[0].width, 637);
  EXPECT_EQ(logo->Bitmaps()[0].height, 88);
  EXPECT_GE(logo->width(), 637) << "the whole logo fits the button";
  EXPECT_GE(logo->height(), 88);
  ASSERT_TRUE(ClickControl(&dialog, 1033));
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0], QUrl(QStringLiteral("https://www.korvanta.example")));
  EXPECT_TRUE(dialog.isVisible());

  for (int id : {1025, 58112, 1026, 1027, 1028}) {
    SCOPED_TRACE(id);
    ExpectPromptColours(dialog.Button(id));
  }
  EXPECT_FALSE(dialog.Button(1025)->isVisible());
  EXPECT_EQ(dialog.Button(1025)->text(), QString::fromUtf8("读取"));
  EXPECT_EQ(ui::FindControl(&dialog, 1006)->inherits("QGroupBox"), true);
  for (int id : {1029, 1030, 1031, 1032}) {
    ASSERT_NE(dialog.Box(id), nullptr);
    EXPECT_TRUE(dialog.Box(id)->isReadOnly());
    EXPECT_EQ(dialog.Box(id)->font(), dialog.BoxFont());
  }
  const int cell = QFontMetrics(dialog.BoxFont()).height();
  EXPECT_GE(cell, 40);
  EXPECT_LE(cell, 48);
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    if (w->parentWidget() != &dialog) continue;
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }

  ModalScript esc;
  esc.On<CFactoryInfoDlg>([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); });
  esc.Start();
  dialog.hide();
  EXPECT_EQ(dialog.exec(), QDialog::Rejected);
  EXPECT_EQ(state.childDialogState, 9);
}
