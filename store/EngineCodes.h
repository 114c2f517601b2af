// The engine's result codes: 16 bits, 0 for success, the high byte naming the category. The
// values are part of what users see ("Database engine error $2e05") and must stay stable.
#pragma once

#include <cstdint>
#include <string>

namespace quorvel {

using EngineCode = std::uint16_t;

namespace engine_code {

inline constexpr EngineCode ok = 0x0000;

// 0x21: the engine itself
inline constexpr EngineCode libraryNotFound = 0x2108;
inline constexpr EngineCode libraryTooOld = 0x2109;
inline constexpr EngineCode notInitialized = 0x210A;

// 0x22: something looked for does not exist (a deletion failing so counts as done)
inline constexpr EngineCode atBeginning = 0x2201;
inline constexpr EngineCode atEnd = 0x2202;
inline constexpr EngineCode recordNotFound = 0x2204;
inline constexpr EngineCode tableNotFound = 0x2205;
inline constexpr EngineCode memoFileNotFound = 0x2206;
inline constexpr EngineCode fieldNotFound = 0x2207;

// 0x23: damaged or foreign files
inline constexpr EngineCode corruptFile = 0x2301;
inline constexpr EngineCode notATableFile = 0x2302;
inline constexpr EngineCode notAMemoFile = 0x2303;
inline constexpr EngineCode unknownFormatVersion = 0x2304;
inline constexpr EngineCode filesDoNotMatch = 0x2305;

// 0x24: input and output
inline constexpr EngineCode ioError = 0x2401;
inline constexpr EngineCode diskFull = 0x2402;

// 0x25: limits
inline constexpr EngineCode outOfMemory = 0x2501;
inline constexpr EngineCode valueTooLarge = 0x2502;

// 0x28: other users
inline constexpr EngineCode tableBusy = 0x2801;
inline constexpr EngineCode recordLocked = 0x2802;
inline constexpr EngineCode recordChanged = 0x2803;

// 0x29: rights
inline constexpr EngineCode readOnlyFile = 0x2901;
inline constexpr EngineCode accessDenied = 0x2902;
inline constexpr EngineCode fileExists = 0x2903;

// 0x2A: a request that doesn't fit the cursor's state
inline constexpr EngineCode readOnlyCursor = 0x2A01;
inline constexpr EngineCode noCurrentRecord = 0x2A02;
inline constexpr EngineCode alreadyInitialized = 0x2A07;

// 0x2E: the statement
inline constexpr EngineCode invalidStatement = 0x2E01;
inline constexpr EngineCode unexpectedToken = 0x2E02;
inline constexpr EngineCode unexpectedEnd = 0x2E03;
inline constexpr EngineCode unknownField = 0x2E04;
inline constexpr EngineCode unknownTable = 0x2E05;
inline constexpr EngineCode unterminatedString = 0x2E06;
inline constexpr EngineCode notSupported = 0x2E07;

// 0x2F: anything else the underlying library reports
inline constexpr EngineCode internalError = 0x2F01;

}  // namespace engine_code

// The category of a code: its high byte.
inline constexpr std::uint8_t engineCategory(EngineCode code) {
    return code >> 8;
}
inline constexpr std::uint8_t notFoundCategory = 0x22;

// The engine's own text for a code, empty for a code it doesn't know.
std::string engineCodeText(EngineCode code);

}  // namespace quorvel
