// State colours: the shift rule, index and shade checks, and the reset to
// the palette's colours when the palette changes.
#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "controls/image_button.h"
#include "pixels.h"

namespace {

ColourRef Shifted(ColourRef start, int shade) {
  CImageButton button;
  EXPECT_EQ(button.SetStateColour(ColourHotBack, start), ButtonResult::Done);
  EXPECT_EQ(button.ShiftStateColour(ColourHotBack, static_cast<std::int16_t>(shade)), ButtonResult::Done);
  return button.StateColour(ColourHotBack);
}

TEST(ButtonColours, ShiftMovesAllChannelsAsFarAsTheNearestLimitAllows) {
  EXPECT_EQ(Shifted(Rgb(192, 192, 192), 10), Rgb(202, 202, 202));
  EXPECT_EQ(Shifted(Rgb(250, 200, 100), 10), Rgb(255, 205, 105));
  EXPECT_EQ(Shifted(Rgb(20, 100, 200), -30), Rgb(0, 80, 180));
  // The extremes of the accepted range.
  EXPECT_EQ(Shifted(Rgb(0, 0, 0), 255), Rgb(255, 255, 255));
  EXPECT_EQ(Shifted(Rgb(255, 255, 255), -255), Rgb(0, 0, 0));
  EXPECT_EQ(Shifted(Rgb(10, 128, 0), 255), Rgb(137, 255, 127));
  // A channel already at its limit stops the others.
  EXPECT_EQ(Shifted(Rgb(255, 0, 0), 40), Rgb(255, 0, 0));
  EXPECT_EQ(Shifted(Rgb(30, 0, 90), -5), Rgb(30, 0, 90));
  // Shade 0 keeps the channels and clears the top byte.
  EXPECT_EQ(Shifted(0xFF000000u | Rgb(1, 2, 3), 0), Rgb(1, 2, 3));
  EXPECT_EQ(Shifted(0x7F000000u | Rgb(100, 150, 200), 20), Rgb(120, 170, 220));
}

TEST(ButtonColours, OutOfRangeIndexOrShadeChangesNothing) {
  CImageButton button;
  for (int i = 0; i < 6; ++i)
    ASSERT_EQ(button.SetStateColour(static_cast<std::uint8_t>(i), Rgb(10 * i, 20, 30)), ButtonResult::Done);
  auto colours = [&button] {
    std::array<ColourRef, 6> all{};
    for (int i = 0; i < 6; ++i) all[static_cast<std::size_t>(i)] = button.StateColour(i);
    return all;
  };
  const std::array<ColourRef, 6> before = colours();

  EXPECT_EQ(button.ShiftStateColour(0, 256), ButtonResult::ShadeOutOfRange);
  EXPECT_EQ(button.ShiftStateColour(0, -256), ButtonResult::ShadeOutOfRange);
  EXPECT_EQ(button.ShiftStateColour(5, 32767), ButtonResult::ShadeOutOfRange);
  EXPECT_EQ(button.ShiftStateColour(6, 10), ButtonResult::ColourIndexOutOfRange);
  EXPECT_EQ(button.ShiftStateColour(255, 10), ButtonResult::ColourIndexOutOfRange);
  EXPECT_EQ(button.SetStateColour(6, Rgb(1, 1, 1)), ButtonResult::ColourIndexOutOfRange);
  EXPECT_EQ(button.SetStateColour(200, Rgb(1, 1, 1)), ButtonResult::ColourIndexOutOfRange);
  EXPECT_EQ(colours(), before);

  // The index is checked before the shade.
  EXPECT_EQ(button.ShiftStateColour(6, 300), ButtonResult::ColourIndexOutOfRange);
  EXPECT_EQ(button.StateColour(6), 0u);
  EXPECT_EQ(button.StateColour(-1), 0u);

  // Each index stores into its own entry only.
  ASSERT_EQ(button.SetStateColour(ColourFocusText, Rgb(9, 8, 7)), ButtonResult::Done);
  EXPECT_EQ(button.StateColour(ColourFocusText), Rgb(9, 8, 7));
  EXPECT_EQ(button.StateColour(ColourFocusBack), before[ColourFocusBack]);

  // The result codes keep their numbers; 4 is not used.
  EXPECT_EQ(static_cast<int>(ButtonResult::Done), 0);
  EXPECT_EQ(static_cast<int>(ButtonResult::ImageUnreadable), 1);
  EXPECT_EQ(static_cast<int>(ButtonResult::MaskNotCreated), 2);
  EXPECT_EQ(static_cast<int>(ButtonResult::ColourIndexOutOfRange), 3);
  EXPECT_EQ(static_cast<int>(ButtonResult::ShadeOutOfRange), 5);
}

TEST(ButtonColours, PaletteChangeRestoresThePaletteColours) {
  QWidget window;
  QPalette pal;
  pal.setColor(QPalette::Button, QColor(10, 20, 30));
  pal.setColor(QPalette::ButtonText, QColor(40, 50, 60));
  window.setPalette(pal);
  CImageButton button(&window);
  for (int i : {ColourHotBack, ColourIdleBack, ColourFocusBack})
    EXPECT_EQ(button.StateColour(i), Rgb(10, 20, 30)) << i;
  for (int i : {ColourHotText, ColourIdleText, ColourFocusText})
    EXPECT_EQ(button.StateColour(i), Rgb(40, 50, 60)) << i;

  // The window's own colours are lost when the palette changes.
  button.SetStateColour(ColourIdleBack, Rgb(157, 195, 252));
  button.SetStateColour(ColourFocusBack, Rgb(200, 200, 255));
  button.SetStateColour(ColourIdleText, Rgb(102, 68, 75));
  button.ShiftStateColour(ColourHotBack, 30);
  pal.setColor(QPalette::Button, QColor(70, 80, 90));
  pal.setColor(QPalette::ButtonText, QColor(1, 2, 3));
  window.setPalette(pal);
  for (int i : {ColourHotBack, ColourIdleBack, ColourFocusBack})
    EXPECT_EQ(button.StateColour(i), Rgb(70, 80, 90)) << i;
  for (int i : {ColourHotText, ColourIdleText, ColourFocusText})
    EXPECT_EQ(button.StateColour(i), Rgb(1, 2, 3)) << i;

  // A change of the application's palette reaches a button that inherits it.
  QWidget plainWindow;
  CImageButton& plain = *new CImageButton(&plainWindow);
  plain.SetStateColour(ColourIdleBack, Rgb(157, 195, 252));
  const QPalette saved = QApplication::palette();
  QPalette appPalette = saved;
  appPalette.setColor(QPalette::Button, QColor(33, 44, 55));
  QApplication::setPalette(appPalette);
  EXPECT_TRUE(pixels::WaitFor([&] { return plain.StateColour(ColourIdleBack) == Rgb(33, 44, 55); }));
  EXPECT_EQ(plain.StateColour(ColourFocusBack), Rgb(33, 44, 55));
  QApplication::setPalette(saved);
  const ColourRef savedBack = FromQColor(saved.color(QPalette::Button));
  EXPECT_TRUE(pixels::WaitFor([&] { return plain.StateColour(ColourIdleBack) == savedBack; }));

  // ResetColours itself does the same on demand.
  plain.SetStateColour(ColourHotText, Rgb(5, 5, 5));
  EXPECT_EQ(plain.ResetColours(), ButtonResult::Done);
  EXPECT_EQ(plain.StateColour(ColourHotText), FromQColor(saved.color(QPalette::ButtonText)));
}

// The program sets its application palette and then builds its windows,
// whose initialisation sets the button colours: showing the window and
// running the event loop must not bring the palette colours back.
TEST(ButtonColours, ColoursSetAfterStartUpSurviveShowingTheWindow) {
  const QPalette saved = QApplication::palette();
  QPalette look = saved;
  look.setColor(QPalette::Window, QColor(157, 195, 252));
  look.setColor(QPalette::Button, QColor(239, 239, 239));
  QApplication::setPalette(look);

  QWidget window;
  auto* button = new CImageButton(&window);
  button->setGeometry(5, 5, 80, 30);
  button->SetStateColour(ColourIdleBack, Rgb(157, 195, 252));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QCoreApplication::processEvents();
  EXPECT_EQ(button->StateColour(ColourIdleBack), Rgb(157, 195, 252));
  EXPECT_EQ(button->StateColour(ColourHotBack), Rgb(239, 239, 239));
  button->clearFocus();
  EXPECT_EQ(pixels::At(pixels::Grab(*button), 3, 3), pixels::Opaque(Rgb(157, 195, 252)));
  QApplication::setPalette(saved);
}

}  // namespace
