#pragma once
// One output file that is never seen half-written: its bytes go to a hidden
// partial beside the final name, DIR/.NAME.<pid>.<n>.partial (unique per
// process and file), which Commit flushes, syncs and renames into place,
// then syncs the folder. Dropping a file that was not committed removes its
// partial; so does a second interrupting signal (CUInterruption). Failures
// throw CUError naming the file and the system's reason. One object is used
// by one thread at a time.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

// Result codes of output files (foundation range).
constexpr uint32_t kResultOutputFailure = 0x10020;  // an output cannot be created, written or renamed
constexpr uint32_t kResultOutputExists = 0x10021;   // the final name is taken and may not be replaced

class CUOutputFile {
public:
    // Creates the partial beside `finalPath` (its folder must exist).
    explicit CUOutputFile(std::string finalPath);
    ~CUOutputFile();
    CUOutputFile(const CUOutputFile&) = delete;
    CUOutputFile& operator=(const CUOutputFile&) = delete;

    // Appends.
    void Write(const void* bytes, size_t size);
    // Overwrites bytes already written (headers whose sizes come last); the
    // end of the file stays where it is.
    void WriteAt(uint64_t offset, const void* bytes, size_t size);
    uint64_t Size() const { return m_Size; }

    // Flushes and syncs the partial to its device (it keeps its partial name).
    void Sync();
    // The modification time the final file gets at Commit.
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
    void Close();

    std::string m_FinalPath;
    std::string m_PartialPath;
    int m_Descriptor = -1;
    int m_InterruptSlot = -1;
    uint64_t m_Size = 0;
    std::vector<unsigned char> m_Buffer;
    bool m_HasTime = false;
    timespec m_Time{};
    bool m_Committed = false;
    bool m_Finished = false;
};

}  // namespace ComVantoVantoQZ64RADPlug
