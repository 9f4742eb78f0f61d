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

void SetUpTemplate(QWidget* window, int widthDu, int heightDu) {
  window->setFont(TemplateFont());
  ui::ApplyDialogUnits(window, widthDu, heightDu);
}

void ColourImageButton(CImageButton* button) {
  button->SetStateColour(ColourIdleBack, Rgb(96, 123, 139));
  button->SetStateColour(ColourFocusBack, Rgb(96, 123, 139));
  button->ShiftStateColour(ColourHotBack, 10);
}

}  // namespace dialogs
