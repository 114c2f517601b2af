// The splash window, TForm2: the maker's picture and name, shown once per run at the main
// window's first activation and closing itself two seconds after it was created.
#pragma once

#include <QTimer>

#include "windows/SecondaryWindow.h"
#include "windows/StoredPictures.h"

class QLabel;

namespace quorvel::ui {

class TForm2 : public SecondaryWindow {
    Q_OBJECT

  public:
    // Decodes the picture (the stored one unless given) and starts Timer1. A picture that can't
    // be decoded leaves Image1 empty: the splash then shows its button-face background and the
    // name.
    explicit TForm2(const QByteArray& jpeg = StoredPictures::splashJpeg());

    static constexpr int ClientWidth = 151;
    static constexpr int ClientHeight = 199;
    static constexpr int TimerInterval = 2000;

    // Whether Image1 holds the decoded picture.
    bool hasPicture() const;
    const QTimer& timer() const { return Timer1; }

    // The stored picture decoded; an empty image and a warning on stderr if it can't be.
    static QImage decodePicture(const QByteArray& jpeg);

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void Timer1Timer();

    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QTimer Timer1;
};

// The splash's opening: a new TForm2, owned by the application, shown modally until its timer
// or its close box closes it. Returns its ModalResult (ResultClosed).
int showSplash();

}  // namespace quorvel::ui
