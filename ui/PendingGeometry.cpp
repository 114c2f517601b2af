#include "PendingGeometry.h"

#include <QCoreApplication>
#include <QMoveEvent>
#include <QPointer>
#include <QResizeEvent>
#include <QWidget>

namespace quorvel::ui {

namespace {

void sendPending(QWidget& widget) {
    // Each flag is cleared before its event is sent, as Qt does, so that show() doesn't send
    // the same event again.
    if (widget.testAttribute(Qt::WA_PendingMoveEvent)) {
        widget.setAttribute(Qt::WA_PendingMoveEvent, false);
        QMoveEvent move(widget.pos(), QPoint());
        QCoreApplication::sendEvent(&widget, &move);
    }
    if (widget.testAttribute(Qt::WA_PendingResizeEvent)) {
        widget.setAttribute(Qt::WA_PendingResizeEvent, false);
        QResizeEvent resize(widget.size(), QSize());
        QCoreApplication::sendEvent(&widget, &resize);
    }
    // Taken first and guarded: a handler may add or remove children.
    QList<QPointer<QWidget>> children;
    for (QObject* object : widget.children()) {
        if (auto* child = qobject_cast<QWidget*>(object)) {
            children.append(child);
        }
    }
    for (const QPointer<QWidget>& child : children) {
        if (child != nullptr && !child->isWindow() &&
            !child->testAttribute(Qt::WA_WState_ExplicitShowHide)) {
            sendPending(*child);
        }
    }
}

}  // namespace

void deliverPendingGeometry(QWidget& widget) {
    widget.ensurePolished();
    sendPending(widget);
}

}  // namespace quorvel::ui
