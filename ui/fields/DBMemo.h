// A multi-line memo bound to the memo field (DBMemo1). It works as a bound edit, with these
// differences: no length limit; Enter, Ctrl+J and Ctrl+I type a line break or a tab (Tab moves
// the focus on); it shows every line break of the field as a new line and writes CR LF between
// lines; lines are never wrapped and both scroll bars are always there; it loads the whole text
// at every change of row or value (AutoDisplay), not on focus changes; and a text beyond its
// capacity is not loaded: "(Text exceeds memo capacity)" shows instead until Enter or a double
// click tries again.
#pragma once

#include <QPlainTextEdit>

#include "fields/BoundControl.h"
#include "fields/FieldLink.h"

namespace quorvel {
class DataSource;
}

namespace quorvel::ui {

class DBMemo : public QPlainTextEdit, private BoundControl {
    Q_OBJECT

  public:
    // What the memo takes in (UTF-16 units, as the control counts): beyond it QPlainTextEdit
    // without wrapping gets too slow to load and to type into: every key press lays out the
    // whole line again.
    static constexpr qsizetype CapacityTotal = 1024 * 1024;
    static constexpr qsizetype CapacityLine = 64 * 1024;

    explicit DBMemo(QWidget* parent = nullptr);
    ~DBMemo() override;

    void setDataSource(quorvel::DataSource* dataSource) { link_.setDataSource(dataSource); }
    quorvel::DataSource* dataSource() const { return link_.dataSource(); }
    void setDataField(const QString& name) { link_.setDataField(name); }
    QString dataField() const { return link_.dataField(); }

    bool changed() const { return link_.changed(); }
    // Whether the memo holds the bound field's text (false without a field and while the text
    // exceeds the capacity).
    bool loaded() const { return loaded_; }
    // The memo's text with CR LF between lines, as it is written back.
    QString fieldText() const { return textToWrite(); }

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
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    QWidget& widget() override { return *this; }
    void showFieldText(const QString& text) override;
    QString textToWrite() const override;
    void setWritable(bool writable) override;
    void exitRefused() override;

    void applyWritable();
    // Loads again, as Enter and a double click do while the text exceeds the capacity.
    void retryLoad();
    bool acceptsDrop(const QDropEvent& event) const;

    FieldLink link_;
    bool writable_ = false;
    bool loaded_ = false;
};

}  // namespace quorvel::ui
