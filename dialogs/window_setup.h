#pragma once
#include <QFont>

class CImageButton;
class QWidget;

// Set-up shared by the sensor windows, their calibration prompts and the
// value entry windows.
namespace dialogs {

// The font the templates' texts are drawn in.
QFont TemplateFont();

// The font whose base units the templates' dialog units stand for.
QFont TemplateUnitsFont();

// Gives a window built from a template its font, then converts the template's
// dialog units to pixels with the base units of TemplateUnitsFont().
void SetUpTemplate(QWidget* window, int widthDu, int heightDu);

// The colours every image button of these windows gets: idle and focus
// background RGB(96,123,139), hover background the button face lightened by 10.
void ColourImageButton(CImageButton* button);

}  // namespace dialogs
