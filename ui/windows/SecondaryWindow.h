// What the splash, about and help windows share: a fixed client area under a title bar with the
// caption and a close box only (its system menu), the layout font "MS Sans Serif" 8 points,
// one background colour, and a place at the centre of the primary screen, frame included.
// Each opening creates a new window, handed to the application, which releases it at the end.
#pragma once

#include <QColor>
#include <QSize>
#include <QString>
#include <QWidget>

#include "ModalDisplay.h"

class QLabel;

namespace quorvel::ui {

// How a label of a secondary window looks.
struct LabelLook {
    bool bold = false;
    QColor colour;  // invalid: the window-text colour
};

class SecondaryWindow : public QWidget {
    Q_OBJECT

  public:
    enum class Background { ButtonFace, White };

    // A hidden window, laid out and centred; show it with showModal.
    SecondaryWindow(const QString& caption, QSize clientSize, Background background);

  protected:
    // A label of the window's font in the given look, sized to its text, at left, top; if the
    // text would pass the window's right edge, the font is condensed until it doesn't.
    QLabel* addLabel(const char* name, const QString& text, int left, int top, LabelLook look = {});
};

// Hands a new window to the application, which releases it when the program ends.
void adoptSecondaryWindow(QWidget* window);

// Creates a new window of the class, owned by the application, shows it modally and returns its
// ModalResult once it is closed; the window stays hidden until the program ends. A failure to
// create it passes to the caller.
template <typename Form>
int openSecondaryWindow() {
    auto* form = new Form;
    adoptSecondaryWindow(form);
    return showModal(*form);
}

}  // namespace quorvel::ui
