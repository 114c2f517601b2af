// The help window, TForm5: five lines of advice on searching, sorting and backing up. It has no
// button and no handlers; only its close box or system menu closes it.
#pragma once

#include "windows/SecondaryWindow.h"

namespace quorvel::ui {

class TForm5 : public SecondaryWindow {
    Q_OBJECT

  public:
    TForm5();

    static constexpr int ClientWidth = 536;
    static constexpr int ClientHeight = 153;
};

// The help window's opening: a new TForm5, owned by the application, shown modally until its
// close box closes it. Returns its ModalResult (ResultClosed).
int showHelp();

}  // namespace quorvel::ui
