#pragma once
// Durable whole-file replacement for the few files the client owns.
//
// Every function reports failure as false and never throws: the callers turn
// a failed write into a status text of their own.

#include <string>

namespace vobu {

// Writes `bytes` to `path` (created or truncated), flushes them to the disk
// and closes the file. True only when every byte was written, flushed and
// the close succeeded.
bool writeFileDurably(const std::string& path, const std::string& bytes);

// Moves `from` over `to`, replacing an existing `to` in one step, and returns
// once the move itself has reached the disk. Readers of `to` always see
// either its old or its new content.
bool moveFileReplacing(const std::string& from, const std::string& to);

// Moves `from` to `to` only when nothing of that name exists: an existing
// `to` always wins and the move fails. Flushed to the disk like the above.
bool moveFileWithoutReplacing(const std::string& from, const std::string& to);

// Gives the file `from` the second name `to` (a hard link) only when nothing
// of that name exists. The content is kept without being read, and stays
// under `to` when `from` is replaced later.
bool linkFileWithoutReplacing(const std::string& from, const std::string& to);

// True when anything (file, folder, link, even a dangling one) has that name.
bool pathExists(const std::string& path);

// Writes `bytes` to `temporary` durably, then moves it over `target`.
// On a failed write the temporary file is left behind; `target` is never
// opened for writing, so it keeps its old content whenever this fails.
bool replaceFileAtomically(const std::string& target, const std::string& temporary, const std::string& bytes);

}  // namespace vobu
