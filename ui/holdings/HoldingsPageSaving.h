// When no browser showed the holdings page: an error box that says where the page was written
// and offers to save a copy under a name of the user's choice.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace quorvel::ui {

// Asks, and on Yes asks for the name in a save dialog and has save write the page there (and a
// large catalogue's parts beside it), replacing a file the user agreed to replace. save returns
// what failed, in the user's words, which is told in an error box of its own.
void offerToSaveHoldingsPage(QWidget* parent, const QString& page, const QString& reason,
                             const std::function<QString(const QString& target)>& save);

}  // namespace quorvel::ui
