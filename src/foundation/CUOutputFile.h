#pragma once
// One output file that is never seen half-written: its bytes go to a hidden
// partial beside the final name, DIR/.NAME.<pid>.<n>.partial (unique per
// process and file), which Commit flushes, syncs and renames into place,
// then syncs the folder. Dropping a file that was not committed removes its
// partial; so does a second interrupting signal (CUInterruption). Failures
// throw CUError naming the file and the system's reason. One object is used
// by one thread at a time (it may be handed from one thread to another).
#include "CUDriveFileReader.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUContentDigest;

// Result codes of output files (foundation range).
constexpr uint32_t kResultOutputFailure = 0x10020;  // an output cannot be created, written or renamed
constexpr uint32_t kResultOutputExists = 0x10021;   // the final name is taken and may not be replaced
constexpr uint32_t kResultOutputNoRoom = 0x10022;   // the file system (or a quota) has no room left

class CUOutputFile {
public:
    // kDirect: bytes whose memory address, size and file offset are whole
    // multiples of kAlignment (buffers from CUDriveFileReader::AllocateBuffer)
    // go from the caller's memory to the drive, skipping the page cache's
    // copy; other bytes are gathered into whole blocks first, and the end of
    // the file that fills no block goes through the page cache. Where the
    // file system takes no direct I/O the file is written through the page
    // cache. Either way Sync is what makes the bytes durable.
    enum class Caching { kBuffered, kDirect };
    static constexpr size_t kAlignment = CUDriveFileReader::kAlignment;
    // kContent: the file's content digest (CUContentDigest) is made from
    // the bytes as they are written, for Sealed().
    enum class Digest { kNone, kContent };

    // What the file is once its last byte is written: what a record of it
    // says, and a later run compares.
    struct Facts {
        uint64_t size = 0;
        timespec modified{};             // the time it keeps when committed
        std::optional<uint64_t> digest;  // with Digest::kContent
    };

    // Creates the partial beside `finalPath` (its folder must exist).
    explicit CUOutputFile(std::string finalPath, Caching caching = Caching::kBuffered,
                          Digest digest = Digest::kNone);
    ~CUOutputFile();
    CUOutputFile(const CUOutputFile&) = delete;
    CUOutputFile& operator=(const CUOutputFile&) = delete;

    // Appends.
    void Write(const void* bytes, size_t size);
    // Overwrites bytes already written (headers whose sizes come last); the
    // end of the file stays where it is.
    void WriteAt(uint64_t offset, const void* bytes, size_t size);
    uint64_t Size() const { return m_Size; }

    // Whether writes skip the page cache now (kDirect on a file system that
    // takes it, until an overwrite or an unaligned end).
    bool WritesDirect() const { return m_Direct; }

    // Hands what is buffered to the file system (not synced) and frees the
    // buffer: a file written whole and waiting for its sync holds no memory.
    void Flush();
    // Flushes and syncs the partial to its device (it keeps its partial name).
    void Sync();
    // After the last write: flushes what is buffered and gives the file's
    // size, modification time and digest (reading back the blocks a writer
    // patched after they were digested). Later writes are refused, so the
    // facts stay true until Commit; the same facts on a second call.
    const Facts& Seal();
    // The modification time the final file gets at Commit (before Seal).
    void SetModificationTime(const timespec& time);
    // Flushes, syncs, closes and renames the partial onto the final name,
    // then syncs the folder. Without `replace` an existing final file is
    // kept and kResultOutputExists thrown, decided atomically by the rename.
    void Commit(bool replace);
    // Closes and removes the partial; nothing once committed.
    void Discard();

    // For many small files written together: Finish flushes and closes the
    // partial without syncing it; once the caller has synced their file
    // system (SyncFileSystem), CommitFinished renames it into place (the
    // folder is the caller's to sync). A finished file that is dropped
    // uncommitted is removed like any partial.
    void Finish();
    void CommitFinished(bool replace);
    // Syncs the whole file system holding `path` (every file written to it,
    // in one go); false when it cannot.
    static bool SyncFileSystem(const std::string& path);

    const std::string& FinalPath() const { return m_FinalPath; }
    const std::string& PartialPath() const { return m_PartialPath; }
    bool Committed() const { return m_Committed; }

    // Whether a file name is one of this class's partial names, and the
    // process id it carries.
    static bool IsPartialName(const std::string& name, long* pid = nullptr);
    // Removes the partials in `folder` whose writing process is gone (its
    // id names no live process); the names of those removed.
    static std::vector<std::string> RemoveStalePartials(const std::string& folder);
    // Syncs a folder's entries to its device; false when it cannot.
    static bool SyncFolder(const std::string& folder);

private:
    void FlushBuffer();
    // Appends `size` bytes at the end of what the descriptor holds.
    void WriteOut(const unsigned char* bytes, size_t size);
    // Later writes go through the page cache.
    void StopDirect();
    void Close();
    // Renames the closed partial onto the final name (the partial removed
    // when it cannot be) and marks the file committed.
    void RenameIntoPlace(bool replace);

    std::string m_FinalPath;
    std::string m_PartialPath;
    int m_Descriptor = -1;
    int m_InterruptSlot = -1;
    bool m_Direct = false;
    uint64_t m_Size = 0;
    uint64_t m_Appended = 0;             // bytes handed to the descriptor by WriteOut
    uint64_t m_WrittenBack = 0;          // of those, the ones whose writeback was started
    CUDriveFileReader::Buffer m_Buffer;  // kBufferBytes, aligned; allocated when first needed
    size_t m_Fill = 0;                   // bytes of m_Buffer waiting to be written
    bool m_HasTime = false;
    timespec m_Time{};
    bool m_Committed = false;
    bool m_Finished = false;
    std::unique_ptr<CUContentDigest> m_Digest;  // with Digest::kContent
    std::optional<Facts> m_Sealed;
};

}  // namespace ComVantoVantoQZ64RADPlug
