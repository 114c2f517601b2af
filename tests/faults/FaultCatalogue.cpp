#include "FaultCatalogue.h"

#include <map>

#include "EDBEngineError.h"
#include "engine/Database.h"
#include "query/Cursor.h"
#include "recordset/Field.h"

namespace quorvel::faults {

using testing::Entry;
using testing::PlainConnection;
using testing::TempDir;

const char* nameOf(Operation operation) {
    switch (operation) {
        case Operation::PostInsert:
            return "Post of a new row";
        case Operation::PostEdit:
            return "Post of an edited row";
        case Operation::Delete:
            return "Delete";
        case Operation::Open:
            return "Open";
    }
    return "?";
}

std::string testNameOf(const ::testing::TestParamInfo<Operation>& info) {
    const char* names[] = {"PostInsert", "PostEdit", "Delete", "Open"};
    return names[static_cast<int>(info.param)];
}

void PrintTo(Operation operation, std::ostream* out) {
    *out << nameOf(operation);
}

std::string memoText(const std::string& seed, std::size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line) {
        text += seed + ", řádek " + std::to_string(line) + ": žluťoučký kůň úpěl ďábelské ódy\r\n";
    }
    return text;
}

namespace {

// Four rows: memos of a page or two, of many pages, a short one and none.
const std::filesystem::path& templateCatalogue() {
    static TempDir dir;
    static const bool made = [] {
        schema::createTable(dir.path());
        Engine engine(dir.path());
        testing::insertAll(engine.database(),
                           {
                               {"Vesmír", "1/2024", "černé díry", memoText("první", 6000)},
                               {"Květy", "12/1999", "recepty", memoText("druhý", 40000)},
                               {"Rozhledy", "3/2001", std::nullopt, "krátký obsah"},
                               {"ABC", "7/1987", "komiks", std::nullopt},
                           });
        return true;
    }();
    (void)made;
    return dir.path();
}

std::string lineOf(const RowData& row, const std::optional<std::string>& memo) {
    std::string line = std::to_string(row.id) + "|" + std::to_string(row.version);
    for (const std::optional<std::string>& value : row.strings) {
        line += "|" + value.value_or("<null>");
    }
    if (memo) {
        line += "|memo " + std::to_string(memo->size()) + " bytes, hash " +
                std::to_string(std::hash<std::string>{}(*memo));
    } else {
        line += "|no memo";
    }
    return line;
}

}  // namespace

TableState readTable(const std::filesystem::path& directory) {
    TableState state;
    try {
        Engine engine(directory);
        std::unique_ptr<Cursor> cursor =
            Cursor::open(engine.database(), testing::statementOf(), true);
        for (const RowData& row : testing::walkForward(*cursor, 16)) {
            state.rows.push_back(lineOf(row, cursor->readMemo(row.id)));
        }
    } catch (const EDatabaseError& error) {
        state.openError = error.what();
        return state;
    }
    // A file damaged past what the check can report fails the check's own statement.
    try {
        PlainConnection plain(directory);
        state.rowsIntegrity = plain.text("PRAGMA main.integrity_check");
        state.memoIntegrity = plain.text("PRAGMA mb.integrity_check");
        state.orphanMemos =
            plain.integer("SELECT count(*) FROM mb.memo WHERE id NOT IN (SELECT id FROM main.qv)");
    } catch (const std::runtime_error& error) {
        state.rowsIntegrity = state.memoIntegrity = error.what();
    }
    return state;
}

int expectOneVersion(const std::filesystem::path& directory,
                     const std::vector<std::vector<std::string>>& versions,
                     const std::string& context) {
    const TableState state = readTable(directory);
    if (!state.openError.empty()) {
        ADD_FAILURE() << context << ": the table doesn't open: " << state.openError;
        return -1;
    }
    EXPECT_EQ(state.rowsIntegrity, "ok") << context;
    EXPECT_EQ(state.memoIntegrity, "ok") << context;
    EXPECT_EQ(state.orphanMemos, 0) << context;
    for (std::size_t i = 0; i < versions.size(); ++i) {
        if (state.rows == versions[i]) {
            return static_cast<int>(i);
        }
    }
    std::string found;
    for (const std::string& row : state.rows) {
        found += "\n  " + row;
    }
    ADD_FAILURE() << context << ": the table is no committed version; it holds:" << found;
    return -1;
}

FaultCase::FaultCase() {
    for (const char* name : {schema::rowsFileName, schema::memoFileName}) {
        std::filesystem::copy_file(templateCatalogue() / name, dir() / name);
    }
    engine_ = std::make_unique<Engine>(dir(), sqliteLibrary(), FaultVfs::name);
    set_ = std::make_unique<RecordSet>(*engine_);
    set_->AddSQL("select * from qv");
}

FaultCase::~FaultCase() {
    close();
}

void FaultCase::close() {
    set_.reset();
    engine_.reset();
}

void FaultCase::prepare(Operation operation) {
    FaultVfs::instance();  // registered before the engine looks for it
    if (operation == Operation::Open) {
        return;
    }
    set_->Open();
    switch (operation) {
        case Operation::PostInsert:
            set_->Append();
            set_->FieldByName("Vytisk").SetAsString("Nový výtisk");
            set_->FieldByName("Cislo").SetAsString("7/2026");
            set_->FieldByName("Nejzajimavejsi_casti").SetAsString("nové části");
            set_->FieldByName("Obsah_vytisku").SetAsString(memoText("nový", 30000));
            break;
        case Operation::PostEdit:
            set_->MoveBy(1);
            set_->Edit();
            set_->FieldByName("Vytisk").SetAsString("Květy a zahrady");
            set_->FieldByName("Obsah_vytisku").SetAsString(memoText("opravený", 60000));
            break;
        case Operation::Delete:
            set_->MoveBy(1);
            break;
        case Operation::Open:
            break;
    }
}

void FaultCase::act(Operation operation) {
    switch (operation) {
        case Operation::PostInsert:
        case Operation::PostEdit:
            set_->Post();
            break;
        case Operation::Delete:
            set_->Delete();
            break;
        case Operation::Open:
            set_->Open();
            break;
    }
}

std::string FaultCase::pending() {
    std::string text = "state " + std::to_string(static_cast<int>(set_->State())) + ", modified " +
                       std::to_string(set_->Modified()) + ", row " +
                       std::to_string(set_->ActiveRecord());
    for (int i = 0; i < set_->FieldCount(); ++i) {
        const std::string value = set_->Fields(i).AsString();
        text += "\n" + set_->Fields(i).FieldName() + ": " + std::to_string(value.size()) +
                " bytes, hash " + std::to_string(std::hash<std::string>{}(value));
    }
    return text;
}

const Versions& versionsOf(Operation operation) {
    static std::map<Operation, Versions> known;
    auto found = known.find(operation);
    if (found != known.end()) {
        return found->second;
    }
    Versions versions;
    FaultCase run;
    versions.before = readTable(run.dir()).rows;
    run.prepare(operation);
    FaultVfs& vfs = FaultVfs::instance();
    vfs.reset();
    run.act(operation);
    versions.writeEvents = vfs.writeEvents();
    for (int kind = 0; kind < callKinds; ++kind) {
        versions.calls[kind] = vfs.count(static_cast<Call>(kind));
    }
    run.close();
    versions.after = readTable(run.dir()).rows;
    return known.emplace(operation, std::move(versions)).first->second;
}

}  // namespace quorvel::faults
