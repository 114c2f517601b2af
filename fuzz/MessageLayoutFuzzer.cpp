// The message dialog's layout fed arbitrary texts (offscreen): any text, of either kind and with
// any buttons, gives a dialog whose icon, text and buttons lie inside it without overlapping,
// whose text block is whole lines high with room for each of the text's own lines, and which
// paints and copies without fault.
//
// The first byte of an input chooses the kind and the buttons; the rest is the text, as UTF-8.

#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRect>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "messages/MessageDialog.h"
#include "messages/MessageDialogWindow.h"

namespace {

[[noreturn]] void fail(const char* what, const QString& text) {
    std::fprintf(stderr, "message_layout_fuzzer: %s: %s\n", what, qUtf8Printable(text));
    std::abort();
}

QString describe(const QRect& rect) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height());
}

void checkLayout(const quorvel::ui::TMessageForm& form) {
    const QRect client(QPoint(0, 0), form.size());
    std::vector<QRect> placed;
    for (const char* name : {"Image", "Message", "Yes", "No", "OK"}) {
        const QWidget* child = form.findChild<QWidget*>(QString::fromLatin1(name));
        if (child == nullptr) {
            continue;
        }
        const QRect box = child->geometry();
        if (!client.contains(box)) {
            fail("a control outside the dialog",
                 QString::fromLatin1(name) + u' ' + describe(box) + u' ' + describe(client));
        }
        for (const QRect& other : placed) {
            if (box.intersects(other)) {
                fail("controls overlap", QString::fromLatin1(name) + u' ' + describe(box));
            }
        }
        placed.push_back(box);
    }
    const auto* message = form.findChild<QLabel*>(QStringLiteral("Message"));
    if (message == nullptr || message->text() != form.message()) {
        fail("the text is not shown whole", form.message());
    }
    // Each of the text's own line breaks starts a line, and the block is whole lines high.
    const int lineSpacing = message->fontMetrics().lineSpacing();
    const qsizetype paragraphs = QString(form.message())
                                     .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                     .replace(u'\r', u'\n')
                                     .count(u'\n') +
                                 1;
    if (message->height() % lineSpacing != 0 || message->height() / lineSpacing < paragraphs) {
        fail("the text block has no room for every line", form.message());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    new QApplication(*argc, *argv);  // lives for the whole run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    using quorvel::ui::MsgDlgBtn;
    const auto kind =
        (data[0] & 1) != 0 ? quorvel::ui::MsgDlgType::Confirmation : quorvel::ui::MsgDlgType::Error;
    quorvel::ui::MsgDlgButtons buttons;
    buttons.setFlag(MsgDlgBtn::Yes, (data[0] & 2) != 0);
    buttons.setFlag(MsgDlgBtn::No, (data[0] & 4) != 0);
    buttons.setFlag(MsgDlgBtn::OK, (data[0] & 8) != 0 || (data[0] & 6) == 0);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data) + 1,
                                           static_cast<qsizetype>(size - 1));

    quorvel::ui::TMessageForm form(text, kind, buttons);
    checkLayout(form);
    if (!form.clipboardText().contains(text)) {
        fail("the copied text lacks the message", text);
    }
    const QPixmap painted = form.grab();
    if (painted.size() != form.size()) {
        fail("the dialog painted at another size", text);
    }
    return 0;
}
