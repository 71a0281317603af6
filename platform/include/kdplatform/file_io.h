// The project's one file-I/O layer: an owning file handle, reads and writes
// that retry what the system interrupts, syncing, and whole-file saves that
// a crash cannot tear. Every other module (toolkit, library, component, tools)
// moves file bytes through here.
//
// Paths are native paths: what kdp::ToNativePath gives. Calls return 0 or a
// Win32 error code (kdplatform/errors.h) and leave the thread's last error
// alone; nothing throws except std::bad_alloc. Files this layer creates are
// readable and writable by their owner only, whatever the process's umask
// (they usually hold keys), unless a call is told otherwise. Thread rules: calls on different handles or
// paths may run at once; one handle is used by one thread at a time.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/file_handle.h"
#include "kdplatform/types.h"
#include "kdplatform/wiped_bytes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kdp {

// The process's standard streams; never close them through a FileHandle.
KDPLATFORM_API NativeFile StandardInput() noexcept;
KDPLATFORM_API NativeFile StandardOutput() noexcept;

// Who may use a file or folder that this layer creates.
enum class Access {
  kOwnerOnly,  // its owner only (0600, folders 0700), whatever the umask
  kShared,     // as the process's umask allows (0666, folders 0777, less the umask)
  // Its owner writes it and every user reads it (0644, folders 0755),
  // whatever the umask: shared configuration, such as a filter file and the
  // folder that holds it and the store.
  kPublicRead,
};

// How OpenFile opens. kOpenRead and/or kOpenWrite, plus any of the others.
enum OpenFlags : unsigned {
  kOpenRead = 1u << 0,
  kOpenWrite = 1u << 1,
  kOpenCreate = 1u << 2,     // create a missing file
  kOpenExclusive = 1u << 3,  // with kOpenCreate: fail with ERROR_FILE_EXISTS when it exists
  kOpenTruncate = 1u << 4,
  kOpenAppend = 1u << 5,
  kOpenFolder = 1u << 6,  // open a folder (to sync or lock it); without it a folder gives ERROR_ACCESS_DENIED
  // The path's last name must not be a link (a symbolic link; on Windows any
  // reparse point): such a name gives ERROR_CANT_RESOLVE_FILENAME instead of
  // opening what it leads to.
  kOpenNoFollow = 1u << 7,
  // A reader of a FIFO waits in the open for its writer, as reading such a
  // file would (without it a reader never blocks in the open). POSIX only.
  kOpenWaitForWriter = 1u << 8,
};

struct FileInfo;

// Opens `path`. A file it creates gets `access`; an existing file keeps its
// permissions. *info (when given) receives what QueryFile would say of the
// opened file, without asking the system again.
KDPLATFORM_API DWORD OpenFile(const std::string& path, unsigned flags, FileHandle* file,
                              Access access = Access::kOwnerOnly, FileInfo* info = nullptr);

// One read of at most `size` bytes; *done is 0 at the end of the file.
KDPLATFORM_API DWORD ReadSome(NativeFile file, void* buffer, std::size_t size, std::size_t* done);
// Reads until `size` bytes or the end of the file; *done says how many.
KDPLATFORM_API DWORD ReadAll(NativeFile file, void* buffer, std::size_t size, std::size_t* done);
// Writes all `size` bytes; on failure *done (when given) says how many went.
KDPLATFORM_API DWORD WriteAll(NativeFile file, const void* data, std::size_t size, std::size_t* done = nullptr);
// Moves the file's position to `offset` bytes from its start: the next read
// or write begins there (for rewriting a small record in place).
KDPLATFORM_API DWORD SeekFile(NativeFile file, std::uint64_t offset);

// Flushes a file's bytes, or a folder's entries, to the disk.
KDPLATFORM_API DWORD SyncFile(NativeFile file);
KDPLATFORM_API DWORD SyncFolder(const std::string& folder);

// Blocks until this process holds the exclusive lock of an open file (or
// folder); closing the handle or UnlockFile gives it up. Advisory: only
// other lockers wait.
KDPLATFORM_API DWORD LockFile(NativeFile file);
KDPLATFORM_API DWORD UnlockFile(NativeFile file);

// Whether `version` changed at least a second ago, so that any later change
// of the file must record a different version. Asks the clock, not the file.
KDPLATFORM_API bool IsSettled(const FileVersion& version) noexcept;

// What `path` names, links followed. A missing file gives
// ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when a folder on the way is
// missing or is a file.
KDPLATFORM_API DWORD QueryFile(const std::string& path, FileInfo* info);
KDPLATFORM_API DWORD QueryFile(NativeFile file, FileInfo* info);

// One entry of a folder: its name and what it is, links followed (a link
// that leads nowhere is kOther).
struct FolderEntry {
  std::string name;
  FileKind kind = FileKind::kOther;
  // The entry itself is a link (a symbolic link; on Windows a reparse
  // point): lists of what a folder holds by itself leave it out.
  bool link = false;
};
// The entries of `folder` but "." and "..", in no particular order, appended
// to *entries. A missing folder gives ERROR_FILE_NOT_FOUND, a path through
// (or to) a file ERROR_PATH_NOT_FOUND.
KDPLATFORM_API DWORD ListFolder(const std::string& folder, std::vector<FolderEntry>* entries);

KDPLATFORM_API DWORD RemoveFile(const std::string& path);
// Removes `path` and, when it is a folder, all it holds; a link is removed,
// never what it leads to. 0 when nothing is left, a missing path too.
KDPLATFORM_API DWORD RemoveTree(const std::string& path);

// Whether this process may use `path` as asked, judged as the system would
// judge an open by it: 0, or the Win32 code that says why not. Only for
// explaining a failure: the answer can change before the next call.
enum class AccessCheck {
  kRead,
  kWriteFile,
  kChangeFolder,  // create and remove entries in the folder `path`
};
KDPLATFORM_API DWORD CheckAccess(const std::string& path, AccessCheck what);

// Creates one folder; ERROR_ALREADY_EXISTS when the name exists. The new
// entry is synced into its parent.
KDPLATFORM_API DWORD CreateFolder(const std::string& path, Access access);
// Creates a folder and its missing parents, each with `access`; 0 when the
// folder exists already, ERROR_ALREADY_EXISTS when a file holds the name.
KDPLATFORM_API DWORD CreateFolderPath(const std::string& path, Access access);

// A regular file's whole content, at most maxSize bytes (else
// ERROR_FILE_TOO_LARGE). A folder or other non-regular file gives
// ERROR_ACCESS_DENIED without blocking; a file that shrinks while it is read
// gives ERROR_READ_FAULT. *info (when given) describes the file read.
// `flags` adds OpenFile flags to its read-only open (kOpenNoFollow).
KDPLATFORM_API DWORD ReadWholeFile(const std::string& path, std::uint64_t maxSize, WipedBytes* content,
                                   FileInfo* info = nullptr, unsigned flags = 0);

// All the bytes `path` gives, at most maxSize (else ERROR_FILE_TOO_LARGE),
// for input the caller named (a tool's -i): a regular file as ReadWholeFile
// reads it, and any other readable stream (pipe, FIFO, /dev/stdin, device)
// read to its end, waiting for its writer as reading it would. A folder
// gives ERROR_DIRECTORY. Never for files another user may have planted: a
// FIFO blocks the reader as long as its writer wants.
KDPLATFORM_API DWORD ReadWholeInput(const std::string& path, std::uint64_t maxSize, WipedBytes* content);
// An open stream read to its end, at most maxSize bytes: one byte past it
// is read at most, so that an oversize stream is refused
// (ERROR_FILE_TOO_LARGE) without being read whole.
KDPLATFORM_API DWORD ReadStream(NativeFile file, std::uint64_t maxSize, WipedBytes* content);

// Makes `target` hold exactly `size` bytes so that readers and a crash see
// either the old file or the whole new one: the bytes go to a temporary file
// in target's folder (a short name, so that any name that fits the folder
// works), which is synced, renamed over target, and the folder synced.
// target itself is replaced, even when it is a link; the new file gets
// `access`, and is its owner's only until it takes target's name. On failure
// the temporary file is removed; when only the final folder sync failed the
// new content is already in place.
KDPLATFORM_API DWORD ReplaceFileAtomically(const std::string& target, const void* data, std::size_t size,
                                           Access access = Access::kOwnerOnly);

// Saves `size` bytes as the whole content of `path`, with the effect that
// writing the file would have, made crash-safe where that can be done, and
// never where another user steers it (docs/platform.md tables the rules):
// - links are followed: the file they lead to gets the content; but in a
//   folder users other than its owner may write, a link that belongs to
//   neither the caller nor the folder's owner is refused with
//   ERROR_ACCESS_DENIED, and so is a file there that is not the caller's;
// - a missing file is created owner-only (its folder must exist);
// - a regular file the caller may not write is refused with
//   ERROR_ACCESS_DENIED (and a folder always is);
// - a regular file is replaced atomically as ReplaceFileAtomically does; the
//   new file is the caller's, with the old one's permissions and group when
//   that was the caller's too, else owner-only and never wider than it was;
// - written in place (truncated and rewritten, so NOT crash-safe): a file
//   that is not regular (device, FIFO), a file with other hard links (they
//   see the new content), and a file whose folder the caller may not write
//   or whose group the caller can no longer give.
KDPLATFORM_API DWORD SaveFile(const std::string& path, const void* data, std::size_t size);

// Why SaveFile refuses `path` for what other users could do through it, in
// one line fit to show a user ("pub/cert.pem is a link owned by another
// user (uid 65534) in pub, a folder other users can write"); empty when no
// such rule refuses it. Only for explaining a failure: the answer can change
// before the next call.
KDPLATFORM_API std::string SaveRefusal(const std::string& path);

// True for names ReplaceFileAtomically gives its temporary files; listings
// of stored files skip them.
KDPLATFORM_API bool IsTemporaryFileName(std::string_view name) noexcept;

// Removes the temporary file of every save this process has under way, for
// a tool's handler of an interruption (kdplatform/interrupts.h) just before
// it ends the process: the targets keep their old content. Async-signal-safe
// on POSIX systems; saves still running afterwards fail. Saves and
// ReplaceFileAtomically also remove, before they write, a leftover
// temporary file in their folder that is the caller's own regular file and
// was last written more than 10 minutes ago (what a process killed outright
// leaves); another user's file and a link are never touched.
KDPLATFORM_API void RemoveTemporaryFilesInFlight() noexcept;

}  // namespace kdp
