// A single-line edit bound to one string field of the record set (DBEdit1 to DBEdit3). It shows
// the current row's value, turns writable only while the set is in edit or insert, starts the
// change itself (through the data source) at the first input that changes its text, takes at
// most as many characters as the field holds, and writes its text into the field when it loses
// the focus or the set asks for pending input. Escape brings the field's value back.
#pragma once

#include <QClipboard>
#include <QLineEdit>

#include "fields/BoundControl.h"
#include "fields/FieldLink.h"

namespace quorvel {
class DataSource;
}

namespace quorvel::ui {

class DBEdit : public QLineEdit, private BoundControl {
    Q_OBJECT

  public:
    explicit DBEdit(QWidget* parent = nullptr);
    ~DBEdit() override;

    void setDataSource(quorvel::DataSource* dataSource) { link_.setDataSource(dataSource); }
    quorvel::DataSource* dataSource() const { return link_.dataSource(); }
    void setDataField(const QString& name) { link_.setDataField(name); }
    QString dataField() const { return link_.dataField(); }

    // The most characters (code points) the user can enter: the bound string field's size, or
    // 0 (no limit) without one.
    int characterLimit() const;
    // Set by every change of the text since it was last loaded or written back.
    bool changed() const { return link_.changed(); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QWidget& widget() override { return *this; }
    void showFieldText(const QString& text) override;
    QString textToWrite() const override { return text(); }
    void setWritable(bool writable) override;
    void exitRefused() override { selectAll(); }

    // Puts input in place of the selection, keeping only as many characters as fit the limit
    // (none when the edit is full) and only its first line.
    void insertLimited(const QString& input);
    void pasteFrom(QClipboard::Mode mode);
    bool pastesSelectionOnMiddleClick(const QMouseEvent& event) const;

    FieldLink link_;
};

}  // namespace quorvel::ui
