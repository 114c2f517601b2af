#include "messages/MessageDialog.h"

#include "ModalDisplay.h"
#include "messages/MessageDialogWindow.h"

namespace quorvel::ui {

int ShowMessageDialog(const QString& text, MsgDlgType kind, MsgDlgButtons buttons) {
    TMessageForm form(text, kind, buttons);
    return showModal(form);
}

}  // namespace quorvel::ui
