#include "recordset/RecordSet.h"

#include <algorithm>
#include <cassert>

#include "EDBEngineError.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "query/Cursor.h"
#include "recordset/DataSource.h"
#include "text/Utf8.h"

namespace quorvel {

RecordSet::RecordSet(Engine& engine, std::string name) : engine_(engine), name_(std::move(name)) {}

RecordSet::~RecordSet() {
    Close();
    for (DataSource* dataSource : std::vector<DataSource*>(dataSources_)) {
        dataSource->SetDataSet(nullptr);
    }
}

void RecordSet::raise(const std::string& text) const {
    throw EDatabaseError(name_ + ": " + text);
}

template <typename Notice>
void RecordSet::notify(Notice notice) {
    for (DataSource* dataSource : std::vector<DataSource*>(dataSources_)) {
        dataSource->notify(notice);
    }
}

void RecordSet::addDataSource(DataSource* dataSource) {
    dataSources_.push_back(dataSource);
}

void RecordSet::removeDataSource(DataSource* dataSource) {
    dataSources_.erase(std::remove(dataSources_.begin(), dataSources_.end(), dataSource),
                       dataSources_.end());
}

// ---- the statement ---------------------------------------------------------------------------

void RecordSet::ClearSQL() {
    if (sql_.empty()) {
        return;  // no change
    }
    Close();
    sql_.clear();
    linesChanged();
}

void RecordSet::AddSQL(const std::string& line) {
    Close();
    sql_.push_back(line);
    linesChanged();
}

void RecordSet::linesChanged() {
    scanned_ = scanParameters(joinStatementLines(sql_));
}

// ---- opening and closing ---------------------------------------------------------------------

void RecordSet::SetActive(bool active) {
    if (active) {
        Open();
    } else {
        Close();
    }
}

void RecordSet::Open() {
    if (Active()) {
        return;
    }
    const Checked checked{*this};
    Database& database = engine_.database();
    if (!scanned_.parameters.empty()) {
        raise("No value for parameter '" + scanned_.parameters.front() + "'");
    }
    if (joinStatementLines(sql_).size() < 2) {
        raise("No SQL statement available");
    }
    std::unique_ptr<Cursor> cursor = Cursor::open(database, scanned_.text, requestLive_);
    if (!cursor) {
        throw ENoResultSet("Error creating cursor handle");
    }
    std::vector<std::unique_ptr<Field>> fields;
    for (const FieldDesc& description : cursor->fields()) {
        fields.push_back(
            std::make_unique<Field>(*this, description, static_cast<int>(fields.size())));
    }
    HeldRows held;
    held.setCapacity(held_.capacity());
    held.fillFromStart(*cursor);
    // Nothing has changed yet: a failure above leaves the set inactive, the cursor released.
    cursor_ = std::move(cursor);
    fields_ = std::move(fields);
    held_ = std::move(held);
    canModify_ = cursor_->isLive();
    setState(DataSetState::Browse);
}

void RecordSet::Close() {
    if (!Active()) {
        return;
    }
    const Checked checked{*this};
    canModify_ = false;
    setState(DataSetState::Inactive);
    cursor_.reset();  // releases any row lock
    fields_.clear();
    held_.clear();
    insertBefore_.reset();
    insertAtEnd_ = false;
    original_.reset();
}

void RecordSet::setState(DataSetState state) {
    state_ = state;
    modified_ = false;
    notify([](DataSetObserver& observer) { observer.stateChanged(); });
}

// ---- checks ----------------------------------------------------------------------------------

void RecordSet::checkInvariants() const {
#ifndef NDEBUG
    const bool pending = state_ == DataSetState::Edit || state_ == DataSetState::Insert;
    assert(Active() == (cursor_ != nullptr));
    assert(Active() || (fields_.empty() && IsEmpty() && !canModify_));
    assert(!pending || !IsEmpty());
    assert(!pending || canModify_);
    assert((state_ == DataSetState::Edit) == original_.has_value());
    assert(state_ == DataSetState::Insert || (!insertBefore_ && !insertAtEnd_));
    assert(!(insertBefore_ && insertAtEnd_));
    assert(state_ != DataSetState::Insert || currentRow()->id == 0);
    held_.checkInvariants();
    if (cursor_) {
        cursor_->checkInvariants();
    }
#endif
}

void RecordSet::requireOpen() const {
    if (!Active()) {
        raise("Cannot perform this operation on a closed dataset");
    }
}

void RecordSet::requireCanModify() const {
    if (!canModify_) {
        raise("Cannot modify a read-only dataset");
    }
}

void RecordSet::UpdateRecord() {
    if (state_ != DataSetState::Edit && state_ != DataSetState::Insert) {
        raise("Dataset not in edit or insert mode");
    }
    notify([](DataSetObserver& observer) { observer.updateRecord(); });
}

void RecordSet::CheckBrowseMode() {
    requireOpen();
    if (state_ == DataSetState::Browse) {
        return;
    }
    UpdateRecord();
    if (modified_) {
        Post();
    } else {
        Cancel();
    }
}

// ---- the window of rows ----------------------------------------------------------------------

void RecordSet::SetBufferCount(int count) {
    count = std::max(count, 1);
    if (count == held_.capacity()) {
        return;
    }
    const Checked checked{*this};
    held_.setCapacity(count);
    if (!Active()) {
        return;
    }
    if (state_ == DataSetState::Browse) {
        if (IsEmpty()) {
            held_.fillFromStart(*cursor_);
        } else {
            const RowData anchor = *held_.currentRow();
            held_.fillAround(*cursor_, anchor, held_.current());
        }
    } else {
        // A pending row stays as it is; only rows beyond the new size go, the later first.
        held_.trimToCapacity();
    }
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

bool RecordSet::NumbersRows() const {
    return cursor_ && cursor_->numbersRows();
}

std::int64_t RecordSet::RecNo() const {
    const RowData* row = currentRow();
    // In insert the current row is the new one, which has no number yet.
    if (!NumbersRows() || row == nullptr || state_ == DataSetState::Insert) {
        return 0;
    }
    // Asked of the cursor, not the number the row was read with: rows before it that another
    // copy deleted since have left the numbering. A row held that has itself left the result
    // has no place; it counts as where it stood, within the rows there are.
    const std::int64_t number = cursor_->numberOf(*row);
    return number != 0 ? number : std::min(row->recNo, RecordCount());
}

bool RecordSet::CountRunning() const {
    return cursor_ && cursor_->counting();
}

bool RecordSet::CheckCount() {
    const Checked checked{*this};
    if (!cursor_ || !cursor_->takeCount()) {
        return false;
    }
    held_.numberRows(*cursor_, state_ == DataSetState::Insert);
    notify([](DataSetObserver& observer) { observer.numberingChanged(); });
    return true;
}

bool RecordSet::WaitForCount(std::chrono::milliseconds timeout) {
    if (cursor_) {
        cursor_->waitForCount(timeout);
        CheckCount();
    }
    return NumbersRows();
}

std::int64_t RecordSet::RecordCount() const {
    return NumbersRows() ? cursor_->rowCount() : 0;
}

std::optional<std::string> RecordSet::memoOf(RowData& row) {
    if (!row.memoLoaded) {
        row.memo = row.memoStored && cursor_ ? cursor_->readMemo(row.id) : std::nullopt;
        row.memoLoaded = true;
    }
    return row.memo;
}

void RecordSet::fieldWritten(const Field& field) {
    modified_ = true;
    notify([&field](DataSetObserver& observer) { observer.fieldChanged(field); });
}

Field* RecordSet::FindField(const std::string& name) const {
    for (const auto& field : fields_) {
        if (utf8::equalsIgnoringCase(field->FieldName(), name)) {
            return field.get();
        }
    }
    return nullptr;
}

void RecordSet::MoveField(int from, int to) {
    const int count = FieldCount();
    if (from < 0 || from >= count || to < 0 || to >= count || from == to) {
        return;
    }
    auto field = std::move(fields_[static_cast<std::size_t>(from)]);
    fields_.erase(fields_.begin() + from);
    fields_.insert(fields_.begin() + to, std::move(field));
    for (int index = 0; index < count; ++index) {
        fields_[static_cast<std::size_t>(index)]->setIndex(index);
    }
}

Field& RecordSet::FieldByName(const std::string& name) const {
    Field* field = FindField(name);
    if (field == nullptr) {
        raise("Field '" + name + "' not found");
    }
    return *field;
}

// ---- moves -----------------------------------------------------------------------------------

void RecordSet::First() {
    const Checked checked{*this};
    CheckBrowseMode();
    held_.fillFromStart(*cursor_);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Last() {
    const Checked checked{*this};
    CheckBrowseMode();
    held_.fillFromEnd(*cursor_, 0);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

int RecordSet::MoveBy(int distance) {
    const Checked checked{*this};
    CheckBrowseMode();
    if (IsEmpty() || distance == 0) {
        return 0;
    }
    // Counted in 64 bits: the current index + INT_MAX and -INT_MIN don't fit an int.
    const std::int64_t wide = distance;
    const std::int64_t target = held_.current() + wide;
    if (target >= 0 && target < held_.size()) {
        held_.setCurrent(static_cast<int>(target));
        notify([](DataSetObserver& observer) { observer.scrolled(0); });
        return distance;
    }
    const int heldBefore = held_.size();
    const HeldRows::Move move = held_.moveAlong(
        *cursor_, wide > 0 ? Direction::Forward : Direction::Backward, wide > 0 ? wide : -wide);
    const std::int64_t moved = move.moved;
    if (held_.size() == heldBefore) {
        // Shifted over no more rows than moved, so it fits an int too.
        const int lines = static_cast<int>(wide > 0 ? move.shifted : -move.shifted);
        notify([lines](DataSetObserver& observer) { observer.scrolled(lines); });
    } else {
        notify([](DataSetObserver& observer) { observer.rowsChanged(); });
    }
    // No more rows are moved over than asked, so the count fits the distance's type.
    return static_cast<int>(wide > 0 ? moved : -moved);
}

void RecordSet::MoveToRecNo(std::int64_t recNo) {
    const Checked checked{*this};
    CheckBrowseMode();
    if (!NumbersRows() || IsEmpty()) {
        return;
    }
    std::optional<RowData> row = cursor_->readNumber(
        std::clamp<std::int64_t>(recNo, 1, std::max<std::int64_t>(RecordCount(), 1)));
    if (!row && RecordCount() > 0) {
        // The read found rows deleted elsewhere, which have left the count: ask again.
        row = cursor_->readNumber(std::clamp<std::int64_t>(recNo, 1, RecordCount()));
    }
    if (!row) {
        // Every row of the result was deleted elsewhere.
        held_.clear();
    } else {
        held_.fillAround(*cursor_, *row, held_.current());
    }
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

// ---- changes ---------------------------------------------------------------------------------

void RecordSet::Edit() {
    const Checked checked{*this};
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        return;
    }
    if (IsEmpty()) {
        Insert();
        return;
    }
    CheckBrowseMode();
    requireCanModify();
    RowData fresh = cursor_->lockRow(*held_.currentRow());
    *held_.currentRow() = fresh;
    original_ = std::move(fresh);
    setState(DataSetState::Edit);
    notify([](DataSetObserver& observer) { observer.recordChanged(); });
}

void RecordSet::Append() {
    const Checked checked{*this};
    CheckBrowseMode();
    requireCanModify();
    RowData fresh = cursor_->newRow();
    held_.fillFromEnd(*cursor_, 1);
    held_.appendNew(std::move(fresh));
    insertAtEnd_ = true;
    insertBefore_.reset();
    setState(DataSetState::Insert);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Insert() {
    const Checked checked{*this};
    CheckBrowseMode();
    requireCanModify();
    RowData fresh = cursor_->newRow();
    insertAtEnd_ = false;
    insertBefore_.reset();
    if (!IsEmpty()) {
        insertBefore_ = *held_.currentRow();
    }
    held_.insertNew(std::move(fresh));
    setState(DataSetState::Insert);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Post() {
    const Checked checked{*this};
    UpdateRecord();
    for (const auto& field : fields_) {
        if (field->Required() && !field->ReadOnly() && field->IsNull()) {
            notify([&field](DataSetObserver& observer) { observer.focusField(*field); });
            throw EDatabaseError("Field '" + field->FieldName() + "' must have a value");
        }
    }
    RowData& row = *held_.currentRow();
    RowData stored =
        state_ == DataSetState::Edit ? cursor_->modifyRow(row) : cursor_->insertRow(row);
    // Written: from here on the set is in browse whatever the re-reading brings.
    const int line = held_.current();
    row = stored;
    insertBefore_.reset();
    insertAtEnd_ = false;
    original_.reset();
    setState(DataSetState::Browse);
    held_.resync(*cursor_, stored, line);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Cancel() {
    if (state_ != DataSetState::Edit && state_ != DataSetState::Insert) {
        return;
    }
    const Checked checked{*this};
    const int line = held_.current();
    const bool wasEdit = state_ == DataSetState::Edit;
    const std::optional<RowData> insertBefore = std::move(insertBefore_);
    const bool insertAtEnd = insertAtEnd_;
    insertBefore_.reset();
    insertAtEnd_ = false;
    std::optional<RowData> position;
    if (wasEdit) {
        RowData& row = *held_.currentRow();
        cursor_->unlockRow(row);
        if (original_) {
            row = *original_;  // the stored values, even if reading anew fails below
        }
        position = row;
        original_.reset();
    } else {
        held_.removeCurrent();
    }
    setState(DataSetState::Browse);
    if (position) {
        held_.resync(*cursor_, *position, line);
    } else if (insertAtEnd) {
        held_.fillFromEnd(*cursor_, 0);
    } else if (insertBefore) {
        held_.resync(*cursor_, *insertBefore, line);
    } else {
        held_.fillFromStart(*cursor_);
    }
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Delete() {
    const Checked checked{*this};
    requireOpen();
    if (state_ == DataSetState::Insert) {
        Cancel();
        return;
    }
    if (IsEmpty()) {
        raise("Cannot perform this operation on an empty dataset");
    }
    const RowData victim = *held_.currentRow();
    const int line = held_.current();
    try {
        cursor_->deleteRow(victim);
    } catch (const EDBEngineError& error) {
        if (!error.isNotFound()) {
            throw;
        }
    }
    original_.reset();
    if (state_ != DataSetState::Browse) {
        setState(DataSetState::Browse);
    }
    held_.resync(*cursor_, victim, line);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

}  // namespace quorvel
