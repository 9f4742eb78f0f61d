#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <initializer_list>
#include <memory>
#include <vector>

#include "dialogs/value_entry_dialogs.h"
#include "modal_script.h"
#include "protocol/crc16.h"
#include "protocol/registers.h"

using protocol::RtuFrame;

namespace {

constexpr std::uint8_t kAddress = 5;

// The frame as the sensor expects it, sealed with its CRC (low byte first).
RtuFrame Sealed(std::initializer_list<std::uint8_t> body) {
  RtuFrame frame(body);
  const std::uint16_t crc = protocol::Crc16Modbus(frame.data(), frame.size());
  frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(crc >> 8));
  return frame;
}

// A write that must survive every refused entry.
const RtuFrame kEarlierWrite = Sealed({kAddress, 0x10, 0x00, 0x13, 0x00, 0x01, 0x02, 0x00, 0x07});

struct Outcome {
  QStringList messages;
  QStringList captions;
  bool stillOpen = false;
  int result = -1;
};

// Puts `text` into the window's box and presses OK; message boxes that open
// are recorded and acknowledged.
template <typename Dialog>
Outcome Submit(Dialog& dialog, const QString& text) {
  dialog.show();
  dialog.ValueBox()->setText(text);
  ModalScript script(2000);
  script.AcknowledgeMessage().AcknowledgeMessage().AcknowledgeMessage();
  script.Start();
  Outcome outcome;
  if (!ClickControl(&dialog, 1)) {
    ADD_FAILURE() << "no OK button with control id 1";
    return outcome;
  }
  outcome.messages = script.Messages();
  outcome.captions = script.Captions();
  outcome.stillOpen = dialog.isVisible();
  outcome.result = dialog.result();
  return outcome;
}

protocol::AppState StateWithEarlierWrite() {
  protocol::AppState state;
  state.link.currentAddress = kAddress;
  state.link.sensorConnected = true;
  state.link.deviceFound = true;
  state.link.manualAddressing = false;
  protocol::QueueWrite(state.link, kEarlierWrite, protocol::Filter);
  return state;
}

// Runs an integer entry of `kind` with `text` on a fresh window.
Outcome IntegerEntry(protocol::AppState& state, int kind, const QString& text) {
  CIntInputDlg dialog(state);
  state.entryKind = kind;
  return Submit(dialog, text);
}

Outcome NumberEntry(protocol::AppState& state, int kind, const QString& text) {
  CValueInputDlg dialog(state);
  state.entryKind = kind;
  return Submit(dialog, text);
}

void ExpectRefused(const Outcome& outcome, protocol::AppState& state, const char* message,
                   const QString& what) {
  EXPECT_EQ(outcome.messages, QStringList{QString::fromUtf8(message)}) << what.toStdString();
  EXPECT_TRUE(outcome.stillOpen) << what.toStdString();
  EXPECT_EQ(state.link.pendingWrite, kEarlierWrite) << what.toStdString();
  EXPECT_EQ(state.link.pendingWriteReg, protocol::Filter) << what.toStdString();
}

void ExpectQueued(const Outcome& outcome, protocol::AppState& state, const RtuFrame& frame,
                  std::uint8_t reg, const QString& what) {
  EXPECT_TRUE(outcome.messages.isEmpty()) << what.toStdString() << ": "
                                          << outcome.messages.join('|').toStdString();
  EXPECT_FALSE(outcome.stillOpen) << what.toStdString();
  EXPECT_EQ(outcome.result, QDialog::Accepted) << what.toStdString();
  EXPECT_EQ(state.link.pendingWrite, frame) << what.toStdString();
  EXPECT_EQ(state.link.pendingWriteReg, reg) << what.toStdString();
}

}  // namespace

TEST(IntegerEntry, OpensShowingZeroWithItsCaptionAndControls) {
  protocol::AppState state;
  CIntInputDlg dialog(state);
  EXPECT_EQ(dialog.ValueBox()->text(), "0");
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("请输入整数"));
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(ui::FindControl(&dialog, 1029), dialog.ValueBox());
  auto* ok = ui::Control<QPushButton>(&dialog, 1);
  auto* cancel = ui::Control<QPushButton>(&dialog, 2);
  ASSERT_TRUE(ok && cancel);
  EXPECT_EQ(ok->text(), QString::fromUtf8("确定"));
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(cancel->text(), QString::fromUtf8("取消"));
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }
}

// The range under the box is the one OK enforces: both ends are accepted, one
// step beyond either end is refused.
TEST(EntryRange, ShownUnderTheBoxMatchesWhatOkAccepts) {
  struct Case {
    bool integer;
    int kind;
    const char* shown;
    double step;
  };
  const Case cases[] = {{true, protocol::EntryFilter, "1 – 99", 1},
                        {true, protocol::EntryDeviceAddress, "1 – 254", 1},
                        {true, protocol::EntrySerialNumber, "0 – 4294967295", 0},
                        {false, protocol::EntryPressure, "50 – 200", 0.01},
                        {false, protocol::EntryZeroCalValue, "0 – 20000", 0.01},
                        {false, protocol::EntryAirCalValue, "0 – 20000", 0.01},
                        {false, protocol::EntryFactoryZeroCal, "0 – 20000", 0.01},
                        {false, protocol::EntryFactoryAirCal, "0 – 20000", 0.01}};
  for (const Case& c : cases) {
    protocol::AppState state;
    std::unique_ptr<QDialog> dialog;
    if (c.integer)
      dialog = std::make_unique<CIntInputDlg>(state);
    else
      dialog = std::make_unique<CValueInputDlg>(state);
    state.entryKind = c.kind;
    dialog->show();
    auto* range = dialog->findChild<QLabel*>(QStringLiteral("rangeLabel"));
    ASSERT_TRUE(range);
    EXPECT_EQ(range->text(), QString::fromUtf8(c.shown)) << c.kind;
    EXPECT_EQ(ui::Control<QLineEdit>(dialog.get(), 1029)->text(), "0") << c.kind;
    const QStringList ends = range->text().split(QString::fromUtf8(" – "));
    ASSERT_EQ(ends.size(), 2) << c.shown;
    const double low = ends[0].toDouble();
    const double high = ends[1].toDouble();
    auto refused = [&](double v) {
      return c.integer ? protocol::IntegerEntryRangeError(c.kind, static_cast<std::uint32_t>(v)) != nullptr
                       : protocol::NumberEntryRangeError(c.kind, static_cast<float>(v)) != nullptr;
    };
    EXPECT_FALSE(refused(low)) << c.shown;
    EXPECT_FALSE(refused(high)) << c.shown;
    if (c.step > 0) {
      EXPECT_TRUE(refused(low - c.step)) << c.shown;
      EXPECT_TRUE(refused(high + c.step)) << c.shown;
    }
  }
}

TEST(IntegerEntry, FilterAcceptsOneToNinetyNineOnly) {
  protocol::AppState state = StateWithEarlierWrite();
  ExpectRefused(IntegerEntry(state, protocol::EntryFilter, "0"), state, entry_texts::kFilterRange, "0");
  ExpectRefused(IntegerEntry(state, protocol::EntryFilter, "100"), state, entry_texts::kFilterRange,
                "100");

  for (auto [text, value] : {std::pair{"1", 1}, {"99", 99}, {" 12 ", 12}, {"\t12\t", 12}}) {
    state.link.writeAcked = true;
    ExpectQueued(IntegerEntry(state, protocol::EntryFilter, text), state,
                 Sealed({kAddress, 0x10, 0x00, 19, 0x00, 0x01, 0x02, 0x00,
                         static_cast<std::uint8_t>(value)}),
                 19, text);
    EXPECT_FALSE(state.link.writeAcked) << "a stale echo must not confirm the new write";
    EXPECT_EQ(state.link.pendingWrite.size(), 11u);
    state = StateWithEarlierWrite();
  }
}

TEST(IntegerEntry, RangeRefusalKeepsTheTypedTextInTheBox) {
  protocol::AppState state = StateWithEarlierWrite();
  CIntInputDlg dialog(state);
  state.entryKind = protocol::EntryFilter;
  const Outcome outcome = Submit(dialog, "100");
  EXPECT_EQ(outcome.captions, QStringList{QString::fromUtf8("传感器配置")});
  EXPECT_EQ(dialog.ValueBox()->text(), "100");
  // Corrected in the same window, the value goes through.
  const Outcome second = Submit(dialog, "10");
  ExpectQueued(second, state, Sealed({kAddress, 0x10, 0x00, 19, 0x00, 0x01, 0x02, 0x00, 10}), 19,
               "10 after 100");
}

TEST(IntegerEntry, AddressChangeQueuesAndDropsTheLinkAtOnce) {
  protocol::AppState state = StateWithEarlierWrite();
  ExpectRefused(IntegerEntry(state, protocol::EntryDeviceAddress, "255"), state,
                entry_texts::kAddressRange, "255");
  ExpectRefused(IntegerEntry(state, protocol::EntryDeviceAddress, "0"), state,
                entry_texts::kAddressRange, "0");
  EXPECT_TRUE(state.link.sensorConnected) << "a refused address leaves the link alone";
  EXPECT_TRUE(state.link.deviceFound);
  EXPECT_FALSE(state.link.manualAddressing);

  ExpectQueued(IntegerEntry(state, protocol::EntryDeviceAddress, "254"), state,
               Sealed({kAddress, 0x10, 0x00, 32, 0x00, 0x01, 0x02, 0x00, 254}), 32, "254");
  EXPECT_FALSE(state.link.sensorConnected);
  EXPECT_FALSE(state.link.deviceFound);
  EXPECT_TRUE(state.link.manualAddressing);
}

TEST(IntegerEntry, SerialNumberTakesAll32BitsAndRefusesMoreWithTheParseMessage) {
  protocol::AppState state = StateWithEarlierWrite();
  ExpectQueued(IntegerEntry(state, protocol::EntrySerialNumber, "4294967295"), state,
               Sealed({kAddress, 0x10, 0x00, 30, 0x00, 0x02, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}), 30,
               "4294967295");
  EXPECT_EQ(state.link.pendingWrite.size(), 13u);

  // The low half goes to register 30, the high half to register 31.
  state = StateWithEarlierWrite();
  ExpectQueued(IntegerEntry(state, protocol::EntrySerialNumber, "12345678"), state,
               Sealed({kAddress, 0x10, 0x00, 30, 0x00, 0x02, 0x04, 0x61, 0x4E, 0x00, 0xBC}), 30,
               "12345678");
  state = StateWithEarlierWrite();
  ExpectQueued(IntegerEntry(state, protocol::EntrySerialNumber, "0"), state,
               Sealed({kAddress, 0x10, 0x00, 30, 0x00, 0x02, 0x04, 0, 0, 0, 0}), 30, "0");

  // Neither saturated nor wrapped: refused like any other bad integer.
  state = StateWithEarlierWrite();
  for (const char* text : {"4294967296", "4294967300", "99999999999"}) {
    ExpectRefused(IntegerEntry(state, protocol::EntrySerialNumber, text), state,
                  entry_texts::kIntegerParse, text);
  }
}

TEST(IntegerEntry, NonIntegersGetOnlyTheParseMessageWhateverTheKind) {
  protocol::AppState state = StateWithEarlierWrite();
  for (int kind : {protocol::EntryFilter, protocol::EntryDeviceAddress, protocol::EntrySerialNumber}) {
    for (const QString& text :
         {QString("-5"), QString("abc"), QString(""), QString("  "), QString("+5"), QString("1.5"),
          QString("12a"), QString::fromUtf8("１２")}) {
      ExpectRefused(IntegerEntry(state, kind, text), state, entry_texts::kIntegerParse,
                    QString("kind %1 '%2'").arg(kind).arg(text));
    }
  }
  EXPECT_TRUE(state.link.sensorConnected);
}

TEST(IntegerEntry, CancelEscapeAndEnterKey) {
  protocol::AppState state = StateWithEarlierWrite();
  {
    CIntInputDlg dialog(state);
    state.entryKind = protocol::EntryFilter;
    dialog.show();
    dialog.ValueBox()->setText("10");
    ASSERT_TRUE(ClickControl(&dialog, 2));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  {
    CIntInputDlg dialog(state);
    dialog.show();
    dialog.ValueBox()->setText("10");
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  EXPECT_EQ(state.link.pendingWrite, kEarlierWrite);
  {
    // Typing and Enter: the default button takes the value.
    CIntInputDlg dialog(state);
    state.entryKind = protocol::EntryFilter;
    dialog.show();
    dialog.activateWindow();
    dialog.ValueBox()->setFocus();
    dialog.ValueBox()->selectAll();
    QTest::keyClicks(dialog.ValueBox(), "42");
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(state.link.pendingWrite,
              Sealed({kAddress, 0x10, 0x00, 19, 0x00, 0x01, 0x02, 0x00, 42}));
  }
}

TEST(NumberEntry, OpensShowingZeroWithItsCaptionAndControls) {
  protocol::AppState state;
  CValueInputDlg dialog(state);
  EXPECT_EQ(dialog.ValueBox()->text(), "0");
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("请输入"));
  EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(ui::FindControl(&dialog, 1029), dialog.ValueBox());
  auto* ok = ui::Control<QPushButton>(&dialog, 1);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(ok->isDefault());
  ASSERT_TRUE(ui::Control<QPushButton>(&dialog, 2));
  for (QWidget* w : dialog.findChildren<QWidget*>()) {
    EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
  }
}

TEST(NumberEntry, PressureAcceptsFiftyToTwoHundredAsAFloat) {
  protocol::AppState state = StateWithEarlierWrite();
  for (const char* text : {"49.99", "200.01", "-100", "1e3"}) {
    ExpectRefused(NumberEntry(state, protocol::EntryPressure, text), state,
                  entry_texts::kPressureRange, text);
  }
  struct Case {
    const char* text;
    std::initializer_list<std::uint8_t> data;  // b1 b0 b3 b2
  };
  // 50 = 42 48 00 00, 200 = 43 48 00 00, 100 = 42 C8 00 00, 101.3 = 42 CA 99 9A.
  for (const Case& c : {Case{"50", {0x00, 0x00, 0x42, 0x48}}, Case{"200", {0x00, 0x00, 0x43, 0x48}},
                        Case{"1e2", {0x00, 0x00, 0x42, 0xC8}}, Case{" 101.3 ", {0x99, 0x9A, 0x42, 0xCA}},
                        Case{"200.000001", {0x00, 0x00, 0x43, 0x48}}}) {
    state = StateWithEarlierWrite();
    std::vector<std::uint8_t> body{kAddress, 0x10, 0x00, 20, 0x00, 0x02, 0x04};
    body.insert(body.end(), c.data.begin(), c.data.end());
    RtuFrame expected(body.begin(), body.end());
    const std::uint16_t crc = protocol::Crc16Modbus(expected.data(), expected.size());
    expected.push_back(crc & 0xFF);
    expected.push_back(crc >> 8);
    ExpectQueued(NumberEntry(state, protocol::EntryPressure, c.text), state, expected, 20, c.text);
  }
}

TEST(NumberEntry, CalibrationValuesAcceptZeroToTwentyThousandIntoTheirRegisters) {
  const std::pair<int, std::uint8_t> kinds[] = {{protocol::EntryZeroCalValue, 22},
                                                {protocol::EntryAirCalValue, 24},
                                                {protocol::EntryFactoryZeroCal, 26},
                                                {protocol::EntryFactoryAirCal, 28}};
  for (auto [kind, reg] : kinds) {
    protocol::AppState state = StateWithEarlierWrite();
    for (const char* text : {"-0.5", "20000.5", "-1e-3", "3e4"}) {
      ExpectRefused(NumberEntry(state, kind, text), state, entry_texts::kCalibrationRange,
                    QString("kind %1 %2").arg(kind).arg(text));
    }
    ExpectQueued(NumberEntry(state, kind, "0"), state,
                 Sealed({kAddress, 0x10, 0x00, reg, 0x00, 0x02, 0x04, 0, 0, 0, 0}), reg, "0");
    // 20000 = 46 9C 40 00, 10 = 41 20 00 00.
    ExpectQueued(NumberEntry(state, kind, "20000"), state,
                 Sealed({kAddress, 0x10, 0x00, reg, 0x00, 0x02, 0x04, 0x40, 0x00, 0x46, 0x9C}), reg,
                 "20000");
    ExpectQueued(NumberEntry(state, kind, "10.0"), state,
                 Sealed({kAddress, 0x10, 0x00, reg, 0x00, 0x02, 0x04, 0x00, 0x00, 0x41, 0x20}), reg,
                 "10.0");
    ExpectQueued(NumberEntry(state, kind, ".5"), state,
                 Sealed({kAddress, 0x10, 0x00, reg, 0x00, 0x02, 0x04, 0x00, 0x00, 0x3F, 0x00}), reg,
                 ".5");
  }
}

TEST(NumberEntry, NonNumbersGetOnlyTheParseMessageAndAnEarlierWriteSurvives) {
  protocol::AppState state = StateWithEarlierWrite();
  for (int kind : {1, 2, 3, 4, 5}) {
    for (const char* text : {".0", "-0", "abc", "", " ", "nan", "NaN", "inf", "-inf", "0x1p3",
                             "1e39", "-1e39", "1e400", "12,5", "1.2.3", "5e"}) {
      ExpectRefused(NumberEntry(state, kind, text), state, entry_texts::kNumberParse,
                    QString("kind %1 '%2'").arg(kind).arg(text));
    }
  }
}

TEST(NumberEntry, CancelAndEscapeQueueNothing) {
  protocol::AppState state = StateWithEarlierWrite();
  {
    CValueInputDlg dialog(state);
    state.entryKind = protocol::EntryPressure;
    dialog.show();
    dialog.ValueBox()->setText("100");
    ASSERT_TRUE(ClickControl(&dialog, 2));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }
  {
    CValueInputDlg dialog(state);
    dialog.show();
    dialog.ValueBox()->setText("100");
    QTest::keyClick(dialog.ValueBox(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
  }
  EXPECT_EQ(state.link.pendingWrite, kEarlierWrite);
  EXPECT_EQ(state.link.pendingWriteReg, protocol::Filter);
}
