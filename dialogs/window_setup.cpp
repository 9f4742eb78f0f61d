#include "dialogs/window_setup.h"

#include <QWidget>

#include "controls/image_button.h"
#include "dialogs/dialog_support.h"

namespace dialogs {

QFont TemplateFont() {
  QFont font(QStringLiteral("Noto Sans CJK SC"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(9);
  return font;
}

QFont TemplateUnitsFont() {
  // The templates name the platform's "System" font: a 16-pixel face at 96 DPI,
  // i.e. 12 points, which follows the screen's DPI like any point size.
  QFont font = TemplateFont();
  font.setPointSize(12);
  return font;
}

void SetUpTemplate(QWidget* window, int widthDu, int heightDu) {
  window->setFont(TemplateFont());
  ui::ApplyDialogUnits(window, widthDu, heightDu, TemplateUnitsFont());
}

void ColourImageButton(CImageButton* button) {
  button->SetStateColour(ColourIdleBack, Rgb(96, 123, 139));
  button->SetStateColour(ColourFocusBack, Rgb(96, 123, 139));
  button->ShiftStateColour(ColourHotBack, 10);
}

}  // namespace dialogs
