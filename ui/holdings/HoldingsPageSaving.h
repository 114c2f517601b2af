// When no browser showed the holdings page: an error box that says where the page was written
// and offers to save a copy under a name of the user's choice.
#pragma once

#include <QString>

class QWidget;

namespace quorvel::ui {

// Asks, and on Yes asks for the name in a save dialog and copies the page there, replacing a
// file the user agreed to replace. A copy that fails is told in an error box of its own.
void offerToSaveHoldingsPage(QWidget* parent, const QString& page, const QString& reason);

}  // namespace quorvel::ui
