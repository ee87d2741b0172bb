#pragma once
// The record of an offload into one copy while it runs, beside the copy's
// history: COPY/ascmhl/.qzcard-offload.journal. ASC MHL generation files
// are never changed once written, so a run writes its generation at the
// end; until then this journal says what the run set out to copy (every
// card file) and, as it goes, each file read back from the drive with the
// card's hashes (or, with --no-verify, copied). A run that is killed leaves
// it behind: the next run into the copy keeps the files it names (after
// re-hashing them on the drive) and --check and the report tell the copy
// is incomplete. The run that ends, however it ends, writes its generation
// and then removes the journal.
//
// One JSON object per line, appended and never rewritten: a run line
// ({"run", "started", "cardFiles"}), one line per card file ({"expect"}),
// then one per file done ({"file", "size", "modified": [seconds,
// nanoseconds], "hashes": {format: text}, "readBack"}). A journal
// may hold several runs (each killed in turn); files of earlier runs stay
// valid. Each line is written whole in one write, after the file it names
// was synced and renamed into place, so a line that is there vouches for a
// file that is; a line torn by a crash does not parse and is passed over.
// Append is thread safe; Read is called by one thread.
#include "CardFileList.h"
#include "HashSet.h"

#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace qzoffload {

struct JournalFile {
    std::string path;
    uint64_t size = 0;
    timespec modified{};
    FileHashes hashes;     // of the card's bytes
    bool readBack = true;  // the copy read back from its drive gave them (false: --no-verify)
};

struct JournalContents {
    std::string run;  // the newest run's id
    int64_t started = 0;
    std::vector<std::string> expected;        // the newest run's card files
    std::map<std::string, JournalFile> done;  // by path, the newest line of each, every run
};

class OffloadJournal {
public:
    static constexpr const char* kFileName = ".qzcard-offload.journal";
    // A journal larger than this is not read (a card of 999 clips writes a few MB).
    static constexpr uint64_t kMaxBytes = 256ull << 20;

    // What the journal of `copy` holds; nothing when there is none. Lines
    // that do not parse, or name unsafe paths or malformed hashes, are
    // passed over.
    static std::optional<JournalContents> Read(const std::string& copy);
    // The same for the journal's bytes.
    static std::optional<JournalContents> Parse(const std::string& text);
    // Removes the journal of `copy` (after its run's generation is written).
    static void Remove(const std::string& copy);

    // Opens (creating) the journal of `copy` for appending, with the run
    // line and a line per card file. Throws OffloadError when it cannot.
    OffloadJournal(const std::string& copy, const std::string& run, int64_t started,
                   const std::vector<CardFile>& files);
    ~OffloadJournal();
    OffloadJournal(const OffloadJournal&) = delete;
    OffloadJournal& operator=(const OffloadJournal&) = delete;

    // One file done. A journal that can no longer be written (a full drive)
    // is given up silently: it only saves work for a later run, and the
    // generation at the end records the file either way.
    void Append(const JournalFile& file);

private:
    void WriteLine(const std::string& line);

    std::string m_Path;
    int m_Descriptor = -1;
    bool m_Broken = false;
    std::mutex m_Mutex;
};

}  // namespace qzoffload
