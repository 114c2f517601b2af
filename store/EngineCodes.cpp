#include "EngineCodes.h"

namespace quorvel {

std::string engineCodeText(EngineCode code) {
    namespace c = engine_code;
    switch (code) {
        case c::libraryNotFound:
            return "Cannot load the database engine library.";
        case c::libraryTooOld:
            return "The database engine library is too old.";
        case c::notInitialized:
            return "The database engine is not initialized.";
        case c::atBeginning:
            return "At beginning of table.";
        case c::atEnd:
            return "At end of table.";
        case c::recordNotFound:
            return "Record not found.";
        case c::tableNotFound:
            return "Table does not exist.";
        case c::memoFileNotFound:
            return "Memo file does not exist.";
        case c::fieldNotFound:
            return "Field not found.";
        case c::corruptFile:
            return "Corrupt table or memo file.";
        case c::notATableFile:
            return "The file is not a catalogue table.";
        case c::notAMemoFile:
            return "The file is not a catalogue memo file.";
        case c::unknownFormatVersion:
            return "The table was made by a newer version.";
        case c::filesDoNotMatch:
            return "The table and memo files do not belong together.";
        case c::ioError:
            return "Disk input/output error.";
        case c::diskFull:
            return "Disk is full.";
        case c::outOfMemory:
            return "Insufficient memory for this operation.";
        case c::valueTooLarge:
            return "Value too large.";
        case c::tableBusy:
            return "Table is busy.";
        case c::recordLocked:
            return "Record locked by another user.";
        case c::recordChanged:
            return "Record has been changed by another user.";
        case c::readOnlyFile:
            return "Table is read only.";
        case c::accessDenied:
            return "Permission denied.";
        case c::fileExists:
            return "File already exists.";
        case c::readOnlyCursor:
            return "Table is read only.";
        case c::noCurrentRecord:
            return "No current record.";
        case c::alreadyInitialized:
            return "The database engine is already initialized.";
        case c::invalidStatement:
            return "Invalid SQL statement.";
        case c::unexpectedToken:
            return "Invalid use of keyword.";
        case c::unexpectedEnd:
            return "Unexpected end of command.";
        case c::unknownField:
            return "Invalid field name.";
        case c::unknownTable:
            return "Table does not exist.";
        case c::unterminatedString:
            return "String constant not terminated.";
        case c::notSupported:
            return "Capability not supported.";
        case c::internalError:
            return "General SQL error.";
        default:
            return {};
    }
}

}  // namespace quorvel
