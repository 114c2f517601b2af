// The about window, TForm3: the product's name and version, the maker's notices, a link to the
// maker's web site and the maker's e-mail address.
#pragma once

#include <QUrl>

#include "windows/SecondaryWindow.h"

class QLabel;
class QPushButton;

namespace quorvel::ui {

class TForm3 : public SecondaryWindow {
    Q_OBJECT

  public:
    TForm3();

    static constexpr int ClientWidth = 193;
    static constexpr int ClientHeight = 244;
    // The maker's site, whose root page the link opens.
    static QUrl siteAddress();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Button1Click();
    void Label7Click();
    void Label7MouseMove();
    void FormMouseMove();
    void setLinkColour(const QColor& colour);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
};

// The about window's opening: a new TForm3, owned by the application, shown modally until "Ok"
// or its close box closes it. Returns its ModalResult (ResultClosed).
int showAbout();

}  // namespace quorvel::ui
