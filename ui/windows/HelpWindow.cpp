#include "windows/HelpWindow.h"

namespace quorvel::ui {

TForm5::TForm5()
    : SecondaryWindow(QStringLiteral("Nápověda"), QSize(ClientWidth, ClientHeight),
                      Background::ButtonFace) {
    setObjectName(QStringLiteral("Form5"));
    // The texts are the program's own, spelling included.
    addLabel("Label1",
             QStringLiteral("Program rozlišuje velká a malá písmena, zádávejte tuďíž do databáze "
                            "slova tak,"),
             16, 16);
    addLabel("Label2", QStringLiteral("aby jste neměli problémy s vyhledáváním klíčových slov."),
             16, 32);
    addLabel("Label3",
             QStringLiteral("Pokud využijete volby seřadit, znepřístupní se vám tím možnost "
                            "editovat vybrané záznamy."),
             16, 64);
    addLabel("Label4",
             QStringLiteral("V případě potřeby editace záznamu, vložení nového záznami či "
                            "odstranění musí být zvolena volba neřadit."),
             16, 96);
    addLabel("Label5",
             QStringLiteral("Databázi si můžete taktéž zálohovat pomocí volby uložit databázi "
                            "jako. (soubory qv.db, qv.mb)."),
             16, 128);
}

int showHelp() {
    return openSecondaryWindow<TForm5>();
}

}  // namespace quorvel::ui
