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
    Database& database = engine_.database();
    if (!scanned_.parameters.empty()) {
        raise("No value for parameter '" + scanned_.parameters.front() + "'");
    }
    if (joinStatementLines(sql_).size() < 2) {
        raise("No SQL statement available");
    }
    std::unique_ptr<Cursor> cursor = database.openCursor(scanned_.text, requestLive_);
    if (!cursor) {
        throw ENoResultSet("Error creating cursor handle");
    }
    std::vector<std::unique_ptr<Field>> fields;
    for (const FieldDesc& description : cursor->fields()) {
        fields.push_back(
            std::make_unique<Field>(*this, description, static_cast<int>(fields.size())));
    }
    Page page = firstPage(*cursor);
    // Nothing has changed yet: a failure above leaves the set inactive, the cursor released.
    atStart_ = true;
    atEnd_ = page.atEnd;
    cursor_ = std::move(cursor);
    fields_ = std::move(fields);
    rows_ = std::move(page.rows);
    current_ = rows_.empty() ? -1 : 0;
    canModify_ = cursor_->isLive();
    setState(DataSetState::Browse);
}

void RecordSet::Close() {
    if (!Active()) {
        return;
    }
    canModify_ = false;
    setState(DataSetState::Inactive);
    cursor_.reset();  // releases any row lock
    fields_.clear();
    rows_.clear();
    current_ = -1;
    atStart_ = atEnd_ = true;
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

void RecordSet::fillAround(const RowData& anchor, int line) {
    const auto capacity = static_cast<std::size_t>(bufferCount_);
    const auto wantedBefore = static_cast<std::size_t>(std::clamp(line, 0, bufferCount_ - 1));
    std::vector<RowData> before = cursor_->readBefore(anchor, wantedBefore + 1);
    bool atStart = before.size() <= wantedBefore;
    if (!atStart) {
        before.erase(before.begin());
    }
    const std::size_t wantedAfter = capacity - 1 - before.size();
    std::vector<RowData> after = cursor_->readAfter(anchor, wantedAfter + 1);
    const bool atEnd = after.size() <= wantedAfter;
    if (!atEnd) {
        after.pop_back();
    }
    // Near the end of the result the window is filled up with rows before.
    const std::size_t room = capacity - 1 - before.size() - after.size();
    if (room > 0 && !atStart) {
        std::vector<RowData> more =
            cursor_->readBefore(before.empty() ? anchor : before.front(), room + 1);
        atStart = more.size() <= room;
        if (!atStart) {
            more.erase(more.begin());
        }
        before.insert(before.begin(), more.begin(), more.end());
    }
    std::vector<RowData> rows = std::move(before);
    const int current = static_cast<int>(rows.size());
    rows.push_back(anchor);
    rows.insert(rows.end(), after.begin(), after.end());
    rows_ = std::move(rows);
    current_ = current;
    atStart_ = atStart;
    atEnd_ = atEnd;
}

RecordSet::Page RecordSet::firstPage(Cursor& cursor) const {
    Page page{cursor.readFirst(static_cast<std::size_t>(bufferCount_) + 1)};
    page.atEnd = page.rows.size() <= static_cast<std::size_t>(bufferCount_);
    if (!page.atEnd) {
        page.rows.pop_back();
    }
    return page;
}

void RecordSet::fillFromStart() {
    Page page = firstPage(*cursor_);
    rows_ = std::move(page.rows);
    current_ = rows_.empty() ? -1 : 0;
    atStart_ = true;
    atEnd_ = page.atEnd;
}

void RecordSet::fillFromEnd(int reserve) {
    const auto wanted = static_cast<std::size_t>(bufferCount_ - reserve);
    std::vector<RowData> rows = cursor_->readLast(wanted + 1);
    const bool atStart = rows.size() <= wanted;
    if (!atStart) {
        rows.erase(rows.begin());
    }
    rows_ = std::move(rows);
    current_ = static_cast<int>(rows_.size()) - 1;
    atStart_ = atStart;
    atEnd_ = true;
}

void RecordSet::resync(const RowData& position, int line) {
    std::optional<RowData> found = cursor_->readRow(position);
    if (!found) {
        std::vector<RowData> next = cursor_->readAfter(position, 1);
        if (!next.empty()) {
            found = std::move(next.front());
        }
    }
    if (!found) {
        std::vector<RowData> previous = cursor_->readBefore(position, 1);
        if (!previous.empty()) {
            found = std::move(previous.back());
        }
    }
    if (!found) {
        rows_.clear();
        current_ = -1;
        atStart_ = atEnd_ = true;
        return;
    }
    fillAround(*found, line);
}

void RecordSet::SetBufferCount(int count) {
    count = std::max(count, 1);
    if (count == bufferCount_) {
        return;
    }
    bufferCount_ = count;
    if (!Active()) {
        return;
    }
    if (state_ == DataSetState::Browse) {
        if (IsEmpty()) {
            fillFromStart();
        } else {
            const RowData anchor = rows_[static_cast<std::size_t>(current_)];
            fillAround(anchor, current_);
        }
    } else {
        // A pending row stays as it is; only rows beyond the new size go, the later first.
        while (static_cast<int>(rows_.size()) > bufferCount_) {
            if (current_ < static_cast<int>(rows_.size()) - 1) {
                rows_.pop_back();
                atEnd_ = false;
            } else {
                rows_.erase(rows_.begin());
                --current_;
                atStart_ = false;
            }
        }
    }
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

bool RecordSet::IsFirst() const {
    return current_ <= 0 && atStart_;
}

bool RecordSet::IsLast() const {
    return current_ == static_cast<int>(rows_.size()) - 1 && atEnd_;
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
    if (!cursor_ || !cursor_->takeCount()) {
        return false;
    }
    numberHeldRows();
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

void RecordSet::numberHeldRows() {
    std::int64_t next = 0;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (state_ == DataSetState::Insert && static_cast<int>(i) == current_) {
            continue;  // the new row has no number yet
        }
        RowData& row = rows_[i];
        row.recNo = next + 1;  // the likely place, tried first
        row.recNo = cursor_->numberOf(row);
        if (row.recNo != 0) {
            next = row.recNo;
        }
    }
}

std::int64_t RecordSet::RecordCount() const {
    return NumbersRows() ? cursor_->rowCount() : 0;
}

RowData* RecordSet::currentRow() {
    return current_ < 0 ? nullptr : &rows_[static_cast<std::size_t>(current_)];
}

const RowData* RecordSet::currentRow() const {
    return current_ < 0 ? nullptr : &rows_[static_cast<std::size_t>(current_)];
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
    CheckBrowseMode();
    fillFromStart();
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Last() {
    CheckBrowseMode();
    fillFromEnd(0);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

namespace {

// Rows read at a time when a move goes past the rows held: a long move reads on in pages of at
// least this many rows and keeps only the last window of them.
constexpr std::int64_t movePage = 256;

}  // namespace

void RecordSet::moveAlong(Direction direction, std::int64_t distance, std::int64_t& moved,
                          std::int64_t& shifted) {
    const bool forward = direction == Direction::Forward;
    const std::int64_t last = static_cast<std::int64_t>(rows_.size()) - 1;
    moved = std::min<std::int64_t>(distance, forward ? last - current_ : current_);
    std::int64_t remaining = distance - moved;
    std::vector<RowData> rows = rows_;
    // The end the walk goes towards, and the one it leaves.
    bool atFar = forward ? atEnd_ : atStart_;
    bool atNear = forward ? atStart_ : atEnd_;
    while (remaining > 0 && !atFar) {
        const std::int64_t wanted =
            std::min(remaining, std::max<std::int64_t>(bufferCount_, movePage));
        const std::size_t asked = static_cast<std::size_t>(wanted) + 1;
        std::vector<RowData> chunk = forward ? cursor_->readAfter(rows.back(), asked)
                                             : cursor_->readBefore(rows.front(), asked);
        atFar = static_cast<std::int64_t>(chunk.size()) <= wanted;
        const std::int64_t taken = std::min(wanted, static_cast<std::int64_t>(chunk.size()));
        if (forward) {
            rows.insert(rows.end(), chunk.begin(), chunk.begin() + taken);
        } else {
            rows.insert(rows.begin(), chunk.end() - taken, chunk.end());
        }
        remaining -= taken;
        moved += taken;
        if (static_cast<int>(rows.size()) > bufferCount_) {
            shifted += static_cast<std::int64_t>(rows.size()) - bufferCount_;
            if (forward) {
                rows.erase(rows.begin(), rows.end() - bufferCount_);
            } else {
                rows.erase(rows.begin() + bufferCount_, rows.end());
            }
            atNear = false;
        }
    }
    rows_ = std::move(rows);
    (forward ? atEnd_ : atStart_) = atFar;
    (forward ? atStart_ : atEnd_) = atNear;
}

int RecordSet::MoveBy(int distance) {
    CheckBrowseMode();
    if (IsEmpty() || distance == 0) {
        return 0;
    }
    // Counted in 64 bits: current_ + INT_MAX and -INT_MIN don't fit an int.
    const std::int64_t wide = distance;
    const std::int64_t target = current_ + wide;
    if (target >= 0 && target < static_cast<std::int64_t>(rows_.size())) {
        current_ = static_cast<int>(target);
        notify([](DataSetObserver& observer) { observer.scrolled(0); });
        return distance;
    }
    const std::size_t heldBefore = rows_.size();
    std::int64_t moved = 0;
    std::int64_t shifted = 0;
    if (wide > 0) {
        moveAlong(Direction::Forward, wide, moved, shifted);
        current_ = static_cast<int>(rows_.size()) - 1;
    } else {
        moveAlong(Direction::Backward, -wide, moved, shifted);
        current_ = 0;
        shifted = -shifted;
    }
    if (rows_.size() == heldBefore) {
        // Shifted over no more rows than moved, so it fits an int too.
        const int lines = static_cast<int>(shifted);
        notify([lines](DataSetObserver& observer) { observer.scrolled(lines); });
    } else {
        notify([](DataSetObserver& observer) { observer.rowsChanged(); });
    }
    // No more rows are moved over than asked, so the count fits the distance's type.
    return static_cast<int>(wide > 0 ? moved : -moved);
}

void RecordSet::MoveToRecNo(std::int64_t recNo) {
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
        rows_.clear();
        current_ = -1;
        atStart_ = atEnd_ = true;
    } else {
        fillAround(*row, current_);
    }
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

// ---- changes ---------------------------------------------------------------------------------

void RecordSet::Edit() {
    if (state_ == DataSetState::Edit || state_ == DataSetState::Insert) {
        return;
    }
    if (IsEmpty()) {
        Insert();
        return;
    }
    CheckBrowseMode();
    requireCanModify();
    RowData fresh = cursor_->lockRow(rows_[static_cast<std::size_t>(current_)]);
    rows_[static_cast<std::size_t>(current_)] = fresh;
    original_ = std::move(fresh);
    setState(DataSetState::Edit);
    notify([](DataSetObserver& observer) { observer.recordChanged(); });
}

void RecordSet::Append() {
    CheckBrowseMode();
    requireCanModify();
    RowData fresh = cursor_->newRow();
    fillFromEnd(1);
    rows_.push_back(std::move(fresh));
    current_ = static_cast<int>(rows_.size()) - 1;
    atEnd_ = true;
    insertAtEnd_ = true;
    insertBefore_.reset();
    setState(DataSetState::Insert);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Insert() {
    CheckBrowseMode();
    requireCanModify();
    RowData fresh = cursor_->newRow();
    insertAtEnd_ = false;
    if (IsEmpty()) {
        insertBefore_.reset();
        rows_ = {std::move(fresh)};
        current_ = 0;
        atStart_ = atEnd_ = true;
    } else {
        insertBefore_ = rows_[static_cast<std::size_t>(current_)];
        rows_.insert(rows_.begin() + current_, std::move(fresh));
        if (static_cast<int>(rows_.size()) > bufferCount_) {
            rows_.pop_back();
            atEnd_ = false;
        }
    }
    setState(DataSetState::Insert);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Post() {
    UpdateRecord();
    for (const auto& field : fields_) {
        if (field->Required() && !field->ReadOnly() && field->IsNull()) {
            notify([&field](DataSetObserver& observer) { observer.focusField(*field); });
            throw EDatabaseError("Field '" + field->FieldName() + "' must have a value");
        }
    }
    RowData& row = rows_[static_cast<std::size_t>(current_)];
    RowData stored =
        state_ == DataSetState::Edit ? cursor_->modifyRow(row) : cursor_->insertRow(row);
    // Written: from here on the set is in browse whatever the re-reading brings.
    const int line = current_;
    row = stored;
    insertBefore_.reset();
    insertAtEnd_ = false;
    original_.reset();
    setState(DataSetState::Browse);
    resync(stored, line);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Cancel() {
    if (state_ != DataSetState::Edit && state_ != DataSetState::Insert) {
        return;
    }
    const int line = current_;
    const bool wasEdit = state_ == DataSetState::Edit;
    const std::optional<RowData> insertBefore = std::move(insertBefore_);
    const bool insertAtEnd = insertAtEnd_;
    insertBefore_.reset();
    insertAtEnd_ = false;
    std::optional<RowData> position;
    if (wasEdit) {
        RowData& row = rows_[static_cast<std::size_t>(current_)];
        cursor_->unlockRow(row);
        if (original_) {
            row = *original_;  // the stored values, even if reading anew fails below
        }
        position = row;
        original_.reset();
    } else {
        rows_.erase(rows_.begin() + current_);
        current_ = std::min(current_, static_cast<int>(rows_.size()) - 1);
    }
    setState(DataSetState::Browse);
    if (position) {
        resync(*position, line);
    } else if (insertAtEnd) {
        fillFromEnd(0);
    } else if (insertBefore) {
        resync(*insertBefore, line);
    } else {
        fillFromStart();
    }
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

void RecordSet::Delete() {
    requireOpen();
    if (state_ == DataSetState::Insert) {
        Cancel();
        return;
    }
    if (IsEmpty()) {
        raise("Cannot perform this operation on an empty dataset");
    }
    const RowData victim = rows_[static_cast<std::size_t>(current_)];
    const int line = current_;
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
    resync(victim, line);
    notify([](DataSetObserver& observer) { observer.rowsChanged(); });
}

}  // namespace quorvel
