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
// part of the way through a write, a flush or a close that fails).
struct FileCalls {
    // Gives the file `from` the second name `to`; false when the file system
    // or the kernel refuses, or anything has the name `to` already.
    std::function<bool(const std::string& from, const std::string& to)> link;
    // write(2): the count written, or -1 with errno set.
    std::function<long(int fd, const char* data, size_t length)> write;
    // fsync(2) of a file or a folder: 0, or -1 with errno set.
    std::function<int(int fd)> fsync;
    // close(2): 0, or -1 with errno set; the descriptor is gone either way.
    std::function<int(int fd)> close;
};

// link(2), write(2), fsync(2) and close(2).
FileCalls systemFileCalls();

// Makes the file `path`, which must not exist (not even as a link or a
// FIFO: nothing that was there is ever opened), writes `bytes` to it,
// flushes them to the disk and closes it. True only when every byte was
// written, flushed and the close succeeded; `written`, when given, is then
// the file's identity. A file this made and could not finish is removed
// again: it holds nothing anyone reads and would only take the space a
// later write needs.
bool writeNewFileDurably(const std::string& path, const std::string& bytes, FileIdentity* written = nullptr,
                         const FileCalls& calls = systemFileCalls());

// Where new content is written before it is moved over its file.
struct TemporaryFile {
    // The usual name, ending in ".tmp".
    std::string name;
    // The caller holds a lock that keeps every other writer of these files
    // off `name`, so whatever has that name is left over from a write that
    // never finished: it is removed, never opened. Without such a lock
    // another process may be writing under `name`, so a name of this
    // process's own is taken instead (ownTemporaryName).
    bool locked = false;
};

// `name` with ".<process id>-<n>" before its ".tmp": names that only this
// process writes, tried from n = 1 until one is free.
std::string ownTemporaryName(const std::string& name, int n);

// What replacing a file did.
struct Replacement {
    // The file holds the new bytes.
    bool replaced = false;
    // The folder's entry for it reached the disk too; otherwise a crash
    // before the system writes it back may bring back the old content.
    bool flushed = false;
    // The new file's identity, when replaced.
    FileIdentity identity;
};

// Writes `bytes` to a new temporary file, flushed, then moves it over
// `target` in one step. `target` is never opened for writing, so it keeps
// its old content whenever this fails, and the temporary file is then
// removed.
Replacement replaceFileAtomically(const std::string& target, const TemporaryFile& temporary, const std::string& bytes,
                                  const FileCalls& calls = systemFileCalls());

// Writes `bytes` to a new temporary file, flushed, then moves it to `target`
// only when nothing has that name: an existing `target` always wins and
// this fails. The temporary file is removed whenever this fails.
bool createFileAtomically(const std::string& target, const TemporaryFile& temporary, const std::string& bytes,
                          const FileCalls& calls = systemFileCalls());

// Moves `from` to `to` only when nothing of that name exists: an existing
// `to` always wins and the move fails. Flushed to the disk.
bool moveFileWithoutReplacing(const std::string& from, const std::string& to,
                              const FileCalls& calls = systemFileCalls());

// Keeps the file `from` under the new name `to`, never replacing anything of
// that name, flushed to the disk. A second name (hard link) where the file
// system gives one keeps the content without reading it and whatever kind
// of file it is; elsewhere a regular file is copied byte for byte, and
// anything else (a FIFO, a device, a folder) cannot be kept.
bool keepFileWithoutReplacing(const std::string& from, const std::string& to, const FileCalls& calls);

// True when anything (file, folder, link, even a dangling one) has that name.
bool pathExists(const std::string& path);

}  // namespace vobu
