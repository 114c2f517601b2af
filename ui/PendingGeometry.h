// The geometry a hidden window's widgets were given, delivered ahead of their first showing. Qt
// holds back the move and resize events of a widget that was never shown and sends them all as
// it is shown; the work they start (a scroll area laying out its viewport, the grid fitting its
// lines to its height) then lies between show() and the first paint. Delivered earlier, that
// work is done while the caller would otherwise wait, and show() finds nothing left to send.
#pragma once

class QWidget;

namespace quorvel::ui {

// Polishes widget and its children and sends each the move and resize event still pending for
// it, the parent before its children, as showing them would. Children hidden on purpose are left
// as showing leaves them; windows of their own too.
void deliverPendingGeometry(QWidget& widget);

}  // namespace quorvel::ui
