#pragma once
// The one object through which an MXF file is read: constructed on a path,
// parsed once, then asked for header metadata, duration, per-edit-unit index
// values and essence bytes. Index segments are loaded lazily, one per body
// partition, the first time an edit unit of it is asked for.
// Thread safety: every operation that moves the file reader holds the
// reader's recursive lock for its whole duration, so one MXFStream may be
// queried from several threads; different files read in parallel.
#include "BodyPartitionArray.h"
#include "CUFailure.h"
#include "CUObject.h"
#include "CUSharedPtr.h"
#include "CUStream.h"
#include "HeaderMetadata.h"
#include "ParseMetaData.h"
#include "PartitionPack.h"
#include "RandomIndexPack.h"
#include "StreamFileSequenceInfo.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace ComVantoVantoQZ64RADPlug {

class CUArray;
class CUStringMac;
class KLVPacket;

// (value offset, length) of an essence element; kNoEssenceRange when none.
using MXFEssenceRange = std::pair<uint64_t, uint64_t>;

class MXFStream : public CUObject {
public:
    // The BodySID the camera writes its essence with.
    static constexpr uint32_t kCameraBodySID = 2;
    static constexpr uint64_t kNoEssenceOffset = 0x7FFFFFFFFFFFFFFFull;

    // Opens the file (nothing is read yet); throws a CUError whose what() is
    // "MXFStream init error" without a path or when the file cannot be opened.
    explicit MXFStream(const CUSharedPtr<CUStringMac>& path);
    // Over an already open stream (tests, fuzzing); throws likewise.
    explicit MXFStream(const CUSharedPtr<CUStream>& stream);
    ~MXFStream() override;

    // Random index pack, header partition pack, body partition table,
    // header metadata, duration. A file that fails must not be queried;
    // LastFailure() then says what failed and at which byte. A partition
    // chain that cannot be walked back from the footer fails the parse
    // (after the header metadata, whose failure is told first). The file is
    // read at the first call only; a later call answers the same result and
    // failure.
    uint32_t Parse();
    // Why the last failed operation of this stream failed: the code it
    // returned, what failed, the file and the byte offset. Success (code 0)
    // until something fails; Parse sets it to its own outcome. A copy, taken under the
    // reader's lock.
    CUFailure LastFailure() const;

    // Edit units of the file (the first material track's duration).
    int64_t Duration() const;
    CUSharedPtr<HeaderMetadata> GetHeaderMetadata() const;
    // Empty when the header partition had none.
    CUSharedPtr<StreamFileSequenceInfo> GetStreamFileSequenceInfo() const;
    // Reads the sequence information element at a fixed file offset; works
    // on an unparsed stream. Empty on any failure.
    CUSharedPtr<StreamFileSequenceInfo> GetStreamFileSequenceInfoAtOffset(uint64_t offset);

    // (value offset, length) of element `element` of edit unit `editUnit`
    // (0 = first edit unit of the file); (0x7FFFFFFFFFFFFFFF, 0) when it
    // cannot be located or is not an essence element.
    MXFEssenceRange RangeEssenceData(int64_t editUnit, uint32_t element);
    // The same from the element's key and length alone, read from the file
    // without the block cache: a checker that needs only where elements lie
    // reads a few bytes each instead of a block.
    MXFEssenceRange PeekEssenceRange(int64_t editUnit, uint32_t element);
    // Copies the element's value into buffer (a system metadata pack is
    // followed by its package metadata set when both fit); the byte count,
    // 0 on any failure or when the buffer is too small.
    uint32_t ReadEssenceData(int64_t editUnit, uint32_t element, unsigned char* buffer, uint32_t size);

    // The file will be read front to back from here on (an import): asks
    // the platform to read ahead. Nothing over a stream that is no file.
    void AdviseSequentialReading();
    // Gives the file's block cache back to the pool (a reader that has
    // moved on to the next file of a clip); a later read takes one again.
    void ReleaseBlockCache();

    // Reads the values of elements first .. first + count - 1 of the edit
    // unit in one read when they follow one another in the file (only keys,
    // lengths and fill, at most 1024 bytes, between one and the next, as the
    // sound elements of a frame lie): the bytes from the first value to the
    // end of the last, with values[k] = (offset in buffer, length) of
    // element first + k. 0 when they cannot be located, are no essence
    // elements, do not lie so, or do not fit in `size`. `pastCache` reads
    // them straight from the file, for a reader whose neighbour in the same
    // process already reads these blocks through its own cache.
    uint32_t ReadEssenceElements(int64_t editUnit, uint32_t first, uint32_t count, unsigned char* buffer,
                                 uint32_t size, MXFEssenceRange* values, bool pastCache = false);

    // Index values of a file-local edit unit; false when it cannot be found.
    bool GetTemporalOffsetAtIndex(int64_t editUnit, int8_t& value);
    bool GetKeyOffsetAtIndex(int64_t editUnit, int8_t& value);
    bool GetFlagsAtIndex(int64_t editUnit, uint8_t& flags);
    // File offset of element `element` of the edit unit; 0x131001 when it
    // cannot be located.
    uint32_t GetEssenceOffset(int64_t editUnit, uint32_t element, uint64_t& fileOffset);

    // Loads the index segment of the body partition holding the edit unit.
    uint32_t ReadIndexTable(int64_t editUnit);
    // Loads the index segment describing body partition record `record`.
    uint32_t ReadIndexTableAtPartition(uint32_t record);
    // The index table segments of the partition whose pack is at `offset`,
    // in file order; empty pointer when the pack cannot be read.
    CUSharedPtr<CUArray> GetIndexFromPartition(uint64_t offset);

    // Discovery steps of Parse, each under the reader's lock.
    uint32_t ReadRandomIndexPack();
    uint32_t ReadHeaderPartitionPack();
    // Walks PreviousPartition links back from the footer, collecting body
    // partitions of `bodySID` in file order; 0x131001 when a pack cannot be
    // read or a link does not lead strictly backwards.
    uint32_t ConstructBodyPartitionArrayFromStream(uint32_t bodySID = kCameraBodySID);
    // The file offsets of every partition pack in file order: the random
    // index pack's entries, else the header partition and the packs found
    // walking back from the footer. 0x131001 (LastFailure says why) when
    // the walk breaks; `offsets` then holds what was found.
    uint32_t PartitionChain(std::vector<uint64_t>& offsets);
    uint32_t ReadBodyPartitionInfo(uint32_t record);
    // Reads the header metadata region of the header partition.
    uint32_t ParseHeaderPartition();

    // The essence BodySID in use (2, or the first essence container data's
    // when the file has no partition of BodySID 2).
    uint32_t EssenceBodySID() const { return m_EssenceBodySID; }
    CUSharedPtr<PartitionPack> GetHeaderPartitionPack() const { return m_HeaderPartition; }
    CUSharedPtr<RandomIndexPack> GetRandomIndexPack() const { return m_RandomIndexPack; }
    CUSharedPtr<BodyPartitionArray> GetBodyPartitions() const { return m_BodyPartitions; }
    CUSharedPtr<CUStream> GetFileStream() const { return m_FileStream; }

private:
    void InitWithStream(const CUSharedPtr<CUStream>& stream);
    // The steps of Parse.
    uint32_t ParseFile();
    // Fills the body partition table with the partitions of `bodySID`
    // (random index pack, else the footer walk).
    uint32_t FillBodyPartitions(uint32_t bodySID);
    // Walks PreviousPartition links back from the footer, calling `found`
    // with each pack's offset and BodySID, last partition first.
    template <class Found>
    uint32_t WalkBackFromFooter(Found found);
    // Keeps bytes [start, end) of the file in memory for the reader (see
    // FileRegionStream); bytes already held are kept when the new stretch
    // contains them. Nothing changes when the stretch cannot be held.
    void HoldFileRegion(uint64_t start, uint64_t end);
    // Holds the KLV packet at `at`: its key and length, then the whole packet
    // when it is no longer than a cache block.
    void HoldPacketAt(uint64_t at);
    // Records why an operation failed and returns `code`.
    uint32_t Fail(uint32_t code, std::string what, uint64_t offset);
    uint32_t Fail(uint32_t code, std::string what);

    CUSharedPtr<ParseMetaData> m_Reader;
    CUSharedPtr<CUStream> m_FileStream;
    int64_t m_Duration = 0;
    CUSharedPtr<PartitionPack> m_HeaderPartition;
    CUSharedPtr<BodyPartitionArray> m_BodyPartitions;
    CUSharedPtr<HeaderMetadata> m_HeaderMetadata;
    CUSharedPtr<RandomIndexPack> m_RandomIndexPack;
    CUSharedPtr<KLVPacket> m_Packet;
    CUSharedPtr<StreamFileSequenceInfo> m_SequenceInfo;
    uint32_t m_EssenceBodySID = kCameraBodySID;
    std::string m_FileName;  // for failure reports; empty over a bare stream
    // The first structural set of the header metadata that did not parse.
    uint64_t m_SkippedSetOffset = PartitionPack::kNoOffset;
    CUFailure m_LastFailure;
    bool m_Parsed = false;
    uint32_t m_ParseResult = 0;
    CUFailure m_ParseFailure;
};

}  // namespace ComVantoVantoQZ64RADPlug
