#pragma once
// Copies files of a card to several destinations reading each file once:
// the reading thread reads it in large sequential reads into the chunks of
// a fixed pool and hands the same chunks to one writer thread per
// destination (DestinationWriter, which reads each file back on a thread
// of its own while it writes the next) and to one hashing thread that
// hashes the card's bytes in every format. The reading thread waits only
// for chunks to come back, never for a read-back. A read error on the card, or a card file
// that changes while it is read, stops the copy for every destination
// (named with the file and the offset); an interruption (CUInterruption)
// stops it too. Either way every writer removes the partial it was writing
// and the files finished before stay finished. Each file finished on a
// destination is appended to its journal (when it has one) as soon as it is
// in place. Run() is called by one
// thread; the hooks and the progress function are called as CopyJob.h says.
#include "CopyJob.h"
#include "OffloadJournal.h"

#include <optional>

#include <string>
#include <vector>

namespace qzoffload {

class CopyEngine {
public:
    // The pool: kChunks chunks of kChunkBytes, shared by every destination.
    static constexpr size_t kChunkBytes = 4u << 20;
    static constexpr size_t kChunks = 6;

    struct Result {
        std::vector<DestinationRun> destinations;
        std::string cardFailure;  // why the card could not be read; empty when it could
        int interruptSignal = 0;  // the signal that stopped the copy, 0 when none
        // Per job: the hashes of the card's bytes; nothing when the file was not read whole.
        std::vector<std::optional<FileHashes>> cardHashes;
    };

    // `journals`: one per root, or null for none.
    CopyEngine(std::vector<std::string> roots, std::vector<OffloadJournal*> journals,
               std::vector<HashFormat> formats, bool verify, CopyHooks hooks, CopyProgressFunction progress);

    Result Run(const std::vector<CopyJob>& jobs);

private:
    std::vector<std::string> m_Roots;
    std::vector<OffloadJournal*> m_Journals;
    std::vector<HashFormat> m_Formats;
    bool m_Verify;
    CopyHooks m_Hooks;
    CopyProgressFunction m_Progress;
};

}  // namespace qzoffload
