// SQLite's own unix file layer takes paths of at most 512 bytes, while a user can make
// directories down to PATH_MAX. This file layer wraps the platform's: a name short enough goes
// through unchanged; a longer one is handed on as "/proc/self/fd/N/<file name>", N being a
// descriptor of the file's directory held for as long as the file is open. SQLite itself keeps
// the real path, so journals name the real super-journal for any later recovery, and the
// platform layer's journal and directory syncs reach the real directory through the
// descriptor: durability is the platform layer's own.
#pragma once

namespace quorvel::sqlite {

// The name of the file layer to open catalogue files with; registered (not as the default) on
// the first call.
const char* longPathVfs();

}  // namespace quorvel::sqlite
