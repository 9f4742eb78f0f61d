#pragma once
#include <QColor>
#include <QFont>
#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <string>

class QDialog;
class QLineEdit;
class QWidget;

// Helpers every window of the tool shares: dialog units, fonts given the way
// the templates give them, control colours, control ids and message boxes.
namespace ui {

// The caption of every message box.
QString ApplicationName();

// The operator's words, in the language in use, for a text of the Qt-free
// libraries (marked there with SENSOR_TEXT); the text itself when no
// translation is installed.
QString SensorText(const char* text);
std::string SensorTextUtf8(const char* text);

// 0x00BBGGRR as the templates and colour tables write colours.
QColor FromColourRef(std::uint32_t colourRef);

// Dialog base units of a font: average width of the Latin letters and the
// em height in pixels.
struct DialogBaseUnits {
  int cx = 0;
  int cy = 0;
};
DialogBaseUnits BaseUnitsOf(const QFont& font);

// The templates keep every control's geometry in dialog units, as its
// .ui file records them. Converts the window and each child control to pixels
// for the window's font: x = du * cx / 4, y = du * cy / 8.
void ApplyDialogUnits(QWidget* window, int widthDu, int heightDu);
// The same with the base units of `unitsFont` rather than the window's font,
// for templates laid out in one font and drawn in another.
void ApplyDialogUnits(QWidget* window, int widthDu, int heightDu, const QFont& unitsFont);

// The main window's face, 9 pt: SimHei where it exists, else a CJK sans face.
// It is also the application's font, so that controls which lay out their text
// before they take their window's font (a line edit does, as it is made) do not
// load and measure a face nobody sees.
QFont MainWindowFont();

// A font given as height and average width in pixels and a weight 0..1000.
// A positive height is the cell height (ascent + descent); the width is met
// by stretching the face.
QFont CellFont(const QString& family, int height, int width, int weight);

// The control carrying dynamic property controlId == id, or nullptr.
QWidget* FindControl(QWidget* root, int id);
template <typename T>
T* Control(QWidget* root, int id) {
  return qobject_cast<T*>(FindControl(root, id));
}

// Text colour and background of a box (and of a read-only edit drawn as static).
void SetControlColours(QWidget* control, QColor text, QColor background);

// A modal message box with the application's caption and an OK button.
void ShowMessage(QWidget* parent, const QString& text,
                 QMessageBox::Icon icon = QMessageBox::Warning);

// Lets the operator move a window without a caption bar by dragging its
// background with the left button. While the window itself has grabbed the
// mouse (a keyboard-started move), its own handlers get the events.
void MoveByBackground(QWidget* window);

// Writes a box only when its text changes, so a caret or selection is not
// disturbed by the periodic refresh.
void SetBoxText(QLineEdit* box, const QString& text);

}  // namespace ui
