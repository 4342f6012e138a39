#pragma once
// The few files the client owns: read without ever waiting on something that
// is not a plain file, replaced whole and durably, and kept aside under a
// new name before they are replaced.
//
// Every function reports failure as false and never throws: the callers turn
// a failed write into a status text of their own.

#include <cstdint>
#include <functional>
#include <string>

namespace vobu {

// What tells one version of a file from another without reading it: a file
// replaced, rewritten in place, grown or cut meanwhile differs in one of
// these. A name that names nothing has the identity with `exists` false.
struct FileIdentity {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of what `path` names now, behind a symbolic link the target's.
FileIdentity identifyFile(const std::string& path);

struct FileRead {
    // The file's bytes, at most the limit; none for a file that is not read.
    std::string bytes;
    // Nothing of that name exists (a dangling link included), or a regular
    // file was read to its end within the limit without a read error.
    bool whole = false;
    // The file as it was opened; `exists` false when there is none.
    FileIdentity identity;
};

// Reads the regular file `path` in reads of `chunk` bytes until its end or
// until more than `limit` bytes are there. A FIFO, a device or a folder
// under that name (also behind a link) is never read, so nothing waits for
// a writer or reads forever: it exists but is not `whole`.
FileRead readRegularFile(const std::string& path, size_t chunk, uint64_t limit);

// The calls that writing and keeping files make, so that tests can replace
// single entries (a file system without hard links, a disk that fills up
// part of the way through a write).
struct FileCalls {
    // Gives the file `from` the second name `to`; false when the file system
    // or the kernel refuses, or anything has the name `to` already.
    std::function<bool(const std::string& from, const std::string& to)> link;
    // write(2): the count written, or -1 with errno set.
    std::function<long(int fd, const char* data, size_t length)> write;
};

// link(2) and write(2).
FileCalls systemFileCalls();

// Writes `bytes` to `path` (created or truncated), flushes them to the disk
// and closes the file. True only when every byte was written, flushed and
// the close succeeded; `written`, when given, is then the file's identity.
// A file this made and could not finish is removed again: it holds nothing
// anyone reads and would only take the space a later write needs.
bool writeFileDurably(const std::string& path, const std::string& bytes, FileIdentity* written = nullptr,
                      const FileCalls& calls = systemFileCalls());

// Moves `from` over `to`, replacing an existing `to` in one step, and returns
// once the move itself has reached the disk. Readers of `to` always see
// either its old or its new content.
bool moveFileReplacing(const std::string& from, const std::string& to);

// Moves `from` to `to` only when nothing of that name exists: an existing
// `to` always wins and the move fails. Flushed to the disk like the above.
bool moveFileWithoutReplacing(const std::string& from, const std::string& to);

// Keeps the file `from` under the new name `to`, never replacing anything of
// that name, flushed to the disk. A second name (hard link) where the file
// system gives one keeps the content without reading it and whatever kind
// of file it is; elsewhere a regular file is copied byte for byte, and
// anything else (a FIFO, a device, a folder) cannot be kept.
bool keepFileWithoutReplacing(const std::string& from, const std::string& to, const FileCalls& calls);

// True when anything (file, folder, link, even a dangling one) has that name.
bool pathExists(const std::string& path);

// Writes `bytes` to `temporary` durably, then moves it over `target`.
// `target` is never opened for writing, so it keeps its old content
// whenever this fails, and the temporary file is then removed. The caller
// makes sure no one else writes under the same temporary name meanwhile.
// `written`, when given, is the identity of the new `target` on success.
bool replaceFileAtomically(const std::string& target, const std::string& temporary, const std::string& bytes,
                           FileIdentity* written = nullptr, const FileCalls& calls = systemFileCalls());

}  // namespace vobu
