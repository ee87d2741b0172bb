#include "MIFStream.h"

#include "CUMutableArray.h"
#include "FBCResultCodes.h"
#include "FBC_Utl_File.h"
#include "MediaMetadata.h"

#include "CardTestSupport.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

using namespace card_test;
using qz::CUSharedPtr;
using qz::MIFStream;

const char* const kIndexPath = "/nowhere/CONTENTS/CLIPS001/INDEX.MIF";

struct ReadResult {
    CUSharedPtr<MIFStream> stream;
    uint32_t code = 0;
};

ReadResult ReadImage(const std::vector<uint8_t>& image) {
    ReadResult r;
    r.stream = CUSharedPtr<MIFStream>(new MIFStream());
    r.code = r.stream->Init(Str(kIndexPath), Memory(image));
    return r;
}

TEST(MIFStreamTest, ReadsWrittenIndexValuesAndClipsInIndexOrder) {
    cw::CardDescription card = SmallCard(4);
    card.clipOrder = {2, 0, 3, 1};
    const ReadResult r = ReadImage(cw::BuildMediaIndex(card));
    ASSERT_EQ(r.code, 0u);
    const MIFStream& s = *r.stream;
    EXPECT_EQ(s.GetState(), 0u);
    EXPECT_FALSE(s.isModify());
    EXPECT_EQ(s.FailedStep(), qz::kMIFReadStepNone);
    EXPECT_EQ(s.IndexVersion(), 0x0101);
    EXPECT_EQ(s.SystemBitmap(), 0x01);
    EXPECT_EQ(s.FrameRateType(), 1);
    EXPECT_EQ(s.StoredClipCount(), 4u);
    EXPECT_EQ(ClipIDs(s.ClipArray()), (std::vector<std::string>{"QZ0003", "QZ0001", "QZ0004", "QZ0002"}));
    for (const auto& object : s.ClipArray()->GetInternalArray()) {
        CUSharedPtr<qz::CFBCClip> clip = object;
        ASSERT_TRUE(clip);
        EXPECT_EQ(clip->GetClipsPath()->Utf8(), "/nowhere/CONTENTS/CLIPS001");
    }

    EXPECT_TRUE(IsUUID(s.ValueForTag(qz::kContentValueMediaID), card.mediaUuid));
    EXPECT_EQ(NumberOf(s.ValueForTag(qz::kContentValueIndexVersion)), 0x0101u);
    EXPECT_EQ(NumberOf(s.ValueForTag(qz::kContentValueSystemBitmap)), 0x01u);
    EXPECT_EQ(NumberOf(s.ValueForTag(qz::kContentValueFrameRateType)), 1u);
    EXPECT_FALSE(s.ValueForTag(qz::kContentValueTagCount));
    EXPECT_FALSE(s.ValueForTag(static_cast<qz::_ContentValueTag>(0xFFFFFFFF)));
}

TEST(MIFStreamTest, CreateReadsAWrittenCardAndRefusesWhatIsNotAnIndexFile) {
    ScratchFolder folder;
    cw::CardDescription card = SmallCard(2);
    cw::WriteCard(card, folder.Path());
    uint32_t code = 1;
    CUSharedPtr<MIFStream> s = MIFStream::Create(Str(cw::MediaIndexPath(folder.Path())), &code);
    ASSERT_TRUE(s);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ClipIDs(s->ClipArray()), (std::vector<std::string>{"QZ0001", "QZ0002"}));
    EXPECT_EQ(s->FilePath()->Utf8(), cw::MediaIndexPath(folder.Path()));

    EXPECT_FALSE(MIFStream::Create(nullptr, &code));
    EXPECT_EQ(code, qz::kResultNullArgument);
    EXPECT_FALSE(MIFStream::Create(Str(folder.Path() + "/missing.MIF"), &code));
    EXPECT_EQ(code, qz::kResultNullArgument);
    // A folder is not an index file.
    EXPECT_FALSE(MIFStream::Create(Str(cw::ClipsFolderPath(folder.Path())), &code));
    EXPECT_NE(code, 0u);
}

TEST(MIFStreamTest, FrameRateTypeAndStateFollowTheMinorVersion) {
    struct Case {
        uint16_t version;
        uint8_t bitmap;
        uint8_t type;
        uint32_t state;
    };
    const Case cases[] = {
        {0x0100, 0x04, 0, 3}, {0x0101, 0x03, 3, 3}, {0x0101, 0x04, 4, 0},
        {0x0100, 0x03, 3, 0}, {0x0100, 0x00, 0, 3}, {0x0101, 0x00, 0, 3},
        {0x0101, 0x02, 2, 0}, {0x0101, 0x07, 7, 3}, {0x0101, 0x09, 1, 0},  // bits above the type do not count
        {0x0100, 0x06, 2, 0}, {0x0105, 0x05, 5, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "version " << std::hex << c.version << " bitmap " << int{c.bitmap});
        cw::CardDescription card = SmallCard(1);
        card.index.version = c.version;
        card.index.systemBitmap = c.bitmap;
        const ReadResult r = ReadImage(cw::BuildMediaIndex(card));
        ASSERT_EQ(r.code, 0u);
        EXPECT_EQ(r.stream->FrameRateType(), c.type);
        EXPECT_EQ(NumberOf(r.stream->ValueForTag(qz::kContentValueFrameRateType)), c.type);
        EXPECT_EQ(r.stream->GetState(), c.state);
    }
}

TEST(MIFStreamTest, MajorVersionTwoIsKeptUnreadWithStateTwo) {
    cw::CardDescription card = SmallCard(2);
    card.index.version = 0x0201;
    const ReadResult r = ReadImage(cw::BuildMediaIndex(card));
    ASSERT_EQ(r.code, 0u);
    EXPECT_EQ(r.stream->GetState(), 2u);
    EXPECT_EQ(r.stream->ClipArray()->Count(), 0u);
    EXPECT_TRUE(r.stream->isModify());
    EXPECT_EQ(r.stream->FrameRateType(), 0);
    EXPECT_EQ(NumberOf(r.stream->ValueForTag(qz::kContentValueIndexVersion)), 0x0201u);
    EXPECT_FALSE(r.stream->ValueForTag(qz::kContentValueMediaID));

    // The media metadata block's major version 2 as well.
    cw::CardDescription metadata = SmallCard(1);
    metadata.index.mediaMetadataVersion = 0x0200;
    const ReadResult m = ReadImage(cw::BuildMediaIndex(metadata));
    ASSERT_EQ(m.code, 0u);
    EXPECT_EQ(m.stream->GetState(), 2u);
    EXPECT_EQ(m.stream->GetMediaMetadata()->MetadataVersion(), 0x0200);
}

TEST(MIFStreamTest, ClipCountAboveTheTableIsRefusedAndAFullTableIsRead) {
    for (uint32_t count : {1000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        cw::CardDescription card = SmallCard(1);
        card.index.clipCount = count;
        const ReadResult r = ReadImage(cw::BuildMediaIndex(card));
        EXPECT_EQ(r.code, qz::kResultReadFailure) << count;
        EXPECT_EQ(r.stream->FailedStep(), qz::kMIFReadStepClipCount);
        EXPECT_EQ(r.stream->StoredClipCount(), count);
        EXPECT_EQ(r.stream->ClipArray()->Count(), 0u);
    }

    // 999 valid records; the information blocks may hold anything, each
    // clip is made all the same.
    std::vector<uint8_t> image = cw::BuildMediaIndex(SmallCard(1));
    PutU32(image, MIFStream::kOffsetClipCount, 999);
    for (uint32_t i = 0; i < 999; ++i) {
        const size_t at = MIFStream::kOffsetClipIDTable + size_t{i} * 12;
        image[at] = 'Q';
        image[at + 1] = 'Z';
        PutU32(image, at + 4, i + 1);
    }
    const ReadResult r = ReadImage(image);
    ASSERT_EQ(r.code, 0u);
    ASSERT_EQ(r.stream->ClipArray()->Count(), 999u);
    EXPECT_EQ(ClipIDs(r.stream->ClipArray()).back(), "QZ0999");
    EXPECT_EQ(r.stream->GetState(), 0u);
}

// Empty cards with a frame-rate type read back ready: CFBCContentTest's
// CreateNewMedia case.
TEST(MIFStreamTest, ClipCountZeroGivesAnEmptyIndex) {
    const ReadResult r = ReadImage(cw::BuildMediaIndex(cw::CardDescription{}));
    ASSERT_EQ(r.code, 0u);
    EXPECT_EQ(r.stream->ClipArray()->Count(), 0u);
}

// One damage per row to the index of a card of `clips` clips: the read
// fails at the step that finds it, and keeps no clip (not even those made
// before the failing block).
TEST(MIFStreamTest, DamagedIndexFailsAtTheStepThatFindsTheDamage) {
    using Image = std::vector<uint8_t>;
    const size_t second = MIFStream::kOffsetClipIDTable + 12;  // the second clip ID record
    const auto set = [](size_t at, uint8_t byte) { return [at, byte](Image& i) { i.at(at) = byte; }; };
    const auto number = [=](uint32_t n) { return [=](Image& i) { PutU32(i, second + 4, n); }; };
    const auto cut = [](size_t length) { return [length](Image& i) { i.resize(length); }; };
    const struct Case {
        const char* what;
        size_t clips;
        std::function<void(Image&)> damage;
        qz::_MIFReadStep step;
    } cases[] = {
        {"magic IM", 1, [](Image& i) { PutU16(i, 0, 0x494D); }, qz::kMIFReadStepMagic},
        {"media metadata magic", 1, [](Image& i) { PutU16(i, MIFStream::kOffsetMediaMetadata, 0x4D4E); },
         qz::kMIFReadStepMediaMetadata},
        {"clip number 0", 3, number(0), qz::kMIFReadStepClipIDTable},
        {"clip number 10000", 3, number(10000), qz::kMIFReadStepClipIDTable},
        {"user ID ':'", 3, set(second, ':'), qz::kMIFReadStepClipIDTable},
        {"user ID 0x7F", 3, set(second + 1, 0x7F), qz::kMIFReadStepClipIDTable},
        {"user ID NUL", 3, set(second, 0), qz::kMIFReadStepClipIDTable},
        // Truncated: the first field beyond the end fails.
        {"no byte", 2, cut(0), qz::kMIFReadStepMagic},
        {"half the magic", 2, cut(1), qz::kMIFReadStepMagic},
        {"in the version", 2, cut(3), qz::kMIFReadStepHeader},
        {"in the header", 2, cut(7), qz::kMIFReadStepHeader},
        {"in the clip count", 2, cut(11), qz::kMIFReadStepClipCount},
        {"in the second clip ID", 2, cut(12 + 2 * 12 - 1), qz::kMIFReadStepClipIDTable},
        {"before the information blocks", 2, cut(12100), qz::kMIFReadStepCIFTable},
        {"in the second block", 2, cut(MIFStream::kOffsetCIFTable + 2 * 2560 - 1), qz::kMIFReadStepCIFTable},
        {"in the media metadata", 2, cut(MIFStream::kOffsetMediaMetadata + 4091),
         qz::kMIFReadStepMediaMetadata},
        {"in the extension word", 2, cut(MIFStream::kOffsetExtension + 3), qz::kMIFReadStepExtension},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Image image = cw::BuildMediaIndex(SmallCard(c.clips));
        c.damage(image);
        const ReadResult r = ReadImage(image);
        EXPECT_EQ(r.code, qz::kResultReadFailure);
        EXPECT_EQ(r.stream->FailedStep(), c.step);
        EXPECT_EQ(r.stream->ClipArray()->Count(), 0u);
    }

    // What is just inside: clip number 9999, and the whole file.
    Image image = cw::BuildMediaIndex(SmallCard(3));
    number(9999)(image);
    EXPECT_EQ(ReadImage(image).code, 0u);
    image = cw::BuildMediaIndex(SmallCard(2));
    ASSERT_EQ(image.size(), MIFStream::kFileSize);
    EXPECT_EQ(ReadImage(image).code, 0u);
}

TEST(MIFStreamTest, BytesBeyondTheFixedSizeAreNeverRead) {
    std::vector<uint8_t> image = cw::BuildMediaIndex(SmallCard(2));
    image.resize(image.size() + 1024 * 1024, 0xFF);
    const ReadResult r = ReadImage(image);
    ASSERT_EQ(r.code, 0u);
    EXPECT_EQ(r.stream->ClipArray()->Count(), 2u);

    // A 64 GiB (sparse) file: read whole, it could not even be allocated.
    ScratchFolder folder;
    cw::CardDescription card = SmallCard(1, 6, false);
    cw::WriteCard(card, folder.Path());
    const std::string path = cw::MediaIndexPath(folder.Path());
    std::error_code error;
    std::filesystem::resize_file(path, uint64_t{64} << 30, error);
    if (error) GTEST_SKIP() << "no sparse 64 GiB file here: " << error.message();
    uint32_t code = 1;
    CUSharedPtr<MIFStream> s = MIFStream::Create(Str(path), &code);
    ASSERT_TRUE(s);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ClipIDs(s->ClipArray()), std::vector<std::string>{"QZ0001"});
}

TEST(MIFStreamTest, RandomlyDamagedIndexesNeverCrash) {
    const std::vector<uint8_t> good = cw::BuildMediaIndex(SmallCard(3));
    // Damage lands where the reader looks: header, identifier table,
    // information blocks, media metadata.
    const size_t regions[][2] = {{0, 16},
                                 {MIFStream::kOffsetClipIDTable, 36},
                                 {MIFStream::kOffsetCIFTable, 3 * 2560},
                                 {MIFStream::kOffsetMediaMetadata, 24}};
    std::mt19937 random(20261206);
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> image = good;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const auto& region = regions[random() % 4];
            image[region[0] + random() % region[1]] = static_cast<uint8_t>(random());
        }
        if (random() % 4 == 0) image.resize(random() % image.size());
        const ReadResult r = ReadImage(image);
        if (r.code == 0) {
            EXPECT_LE(r.stream->ClipArray()->Count(), MIFStream::kMaxClipCount);
            EXPECT_LE(r.stream->GetState(), 3u);
        } else {
            EXPECT_EQ(r.stream->ClipArray()->Count(), 0u);
        }
    }
}

TEST(MIFStreamTest, SettersChangeValuesInMemoryAndMarkTheIndexModified) {
    const ReadResult r = ReadImage(cw::BuildMediaIndex(SmallCard(1)));
    ASSERT_EQ(r.code, 0u);
    MIFStream& s = *r.stream;
    EXPECT_EQ(s.SetValueForTag(nullptr, qz::kContentValueSystemBitmap), qz::kResultNullArgument);
    EXPECT_EQ(s.SetValueForTag(qz::CUUUID::Create(), qz::kContentValueSystemBitmap), qz::kResultNullArgument);
    EXPECT_FALSE(s.isModify());
    EXPECT_EQ(s.SetValueForTag(qz::CUNumber::Create<uint8_t>(0xF2), qz::kContentValueFrameRateType), 0u);
    EXPECT_TRUE(s.isModify());
    EXPECT_EQ(s.SystemBitmap(), 0x02);  // only the frame-rate bits change
    EXPECT_EQ(s.FrameRateType(), 2);
    CUSharedPtr<qz::CUUUID> uuid = qz::CUUUID::Create();
    EXPECT_EQ(s.SetValueForTag(uuid, qz::kContentValueMediaID), 0u);
    EXPECT_TRUE(IsUUID(s.ValueForTag(qz::kContentValueMediaID), *uuid));

    CUSharedPtr<MIFStream> fresh = MIFStream::Create();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->IndexVersion(), MIFStream::kNewVersion);
    EXPECT_EQ(fresh->FrameRateType(), 0);
    EXPECT_EQ(fresh->GetState(), 3u);  // no frame-rate type yet
    EXPECT_TRUE(fresh->ValueForTag(qz::kContentValueMediaID));
    EXPECT_EQ(fresh->GetMediaMetadata()->MetadataVersion(), qz::MediaMetadata::kNewVersion);
}

// The written file of `stream`, read back.
std::vector<uint8_t> Written(MIFStream& stream, const std::string& path) {
    EXPECT_EQ(stream.WriteToFile(Str(path)), 0u);
    EXPECT_FALSE(stream.isModify());
    return ReadFile(path);
}

CUSharedPtr<qz::CUMutableArray> ClipsAt(const MIFStream& stream, std::vector<size_t> positions) {
    CUSharedPtr<qz::CUMutableArray> clips = qz::CUMutableArray::Create();
    for (size_t i : positions) clips->AddObject(stream.ClipArray()->ObjectAtIndex(i));
    return clips;
}

TEST(MIFStreamTest, WrittenIndexIsTheCardWritersImageByteForByte) {
    std::vector<cw::CardDescription> cards(4, SmallCard(3));
    cards[0].clipOrder = {2, 0, 1};
    cards[1].index.version = 0x0100;
    cards[1].index.systemBitmap = 0x02;
    cards[2].index.reserved5 = {1, 2, 3};
    cards[2].index.extensionWord = 0xDEADBEEF;
    cards[3] = cw::CardDescription{};
    cards[3].index.systemBitmap = 0x04;
    ScratchFolder folder;
    const std::string path = folder.Path() + "/INDEX.MIF";
    for (size_t i = 0; i < cards.size(); ++i) {
        SCOPED_TRACE(i);
        const std::vector<uint8_t> image = cw::BuildMediaIndex(cards[i]);
        const ReadResult r = ReadImage(image);
        ASSERT_EQ(r.code, 0u);
        EXPECT_TRUE(Written(*r.stream, path) == image);
        CUSharedPtr<MIFStream> back = MIFStream::Create(Str(path));
        ASSERT_TRUE(back);
        EXPECT_EQ(ClipIDs(back->ClipArray()), ClipIDs(r.stream->ClipArray()));
        EXPECT_EQ(back->GetState(), r.stream->GetState());
    }
}

TEST(MIFStreamTest, NewAndEditedIndexesReadBackWithTheirValues) {
    ScratchFolder folder;
    const std::string path = folder.Path() + "/INDEX.MIF";
    CUSharedPtr<MIFStream> fresh = MIFStream::Create();
    ASSERT_TRUE(fresh);
    fresh->setFrameRateType(MIFStream::kFrameRateType50);
    cw::CardDescription expected;
    expected.index.systemBitmap = 0x02;
    CUSharedPtr<qz::CUUUID> uuid = qz::CUUUID::Create(expected.mediaUuid.data());
    ASSERT_EQ(fresh->SetValueForTag(uuid, qz::kContentValueMediaID), 0u);
    EXPECT_TRUE(Written(*fresh, path) == cw::BuildMediaIndex(expected));
    CUSharedPtr<MIFStream> back = MIFStream::Create(Str(path));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetState(), 0u);
    EXPECT_EQ(back->IndexVersion(), MIFStream::kNewVersion);
    EXPECT_EQ(back->FrameRateType(), MIFStream::kFrameRateType50);
    EXPECT_EQ(back->GetMediaMetadata()->MetadataVersion(), qz::MediaMetadata::kNewVersion);
    EXPECT_EQ(back->ClipArray()->Count(), 0u);
    EXPECT_TRUE(IsUUID(back->ValueForTag(qz::kContentValueMediaID), *uuid));

    // Values and a clip array changed in memory, written, read back.
    const ReadResult r = ReadImage(cw::BuildMediaIndex(SmallCard(3)));
    ASSERT_EQ(r.code, 0u);
    r.stream->SetClipArray(ClipsAt(*r.stream, {2, 0}));
    ASSERT_EQ(r.stream->SetValueForTag(qz::CUNumber::Create<uint8_t>(4), qz::kContentValueFrameRateType), 0u);
    Written(*r.stream, path);
    back = MIFStream::Create(Str(path));
    ASSERT_TRUE(back);
    EXPECT_EQ(ClipIDs(back->ClipArray()), (std::vector<std::string>{"QZ0003", "QZ0001"}));
    EXPECT_EQ(back->FrameRateType(), 4);
    EXPECT_EQ(back->GetState(), 0u);

    // What cannot be written whole is not written at all.
    cw::CardDescription other = SmallCard(1);
    other.index.version = 0x0201;
    const ReadResult unread = ReadImage(cw::BuildMediaIndex(other));
    EXPECT_EQ(unread.stream->WriteToFile(Str(folder.Path() + "/v2.MIF")), qz::kResultNotReady);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/v2.MIF"));
    EXPECT_EQ(r.stream->WriteToFile(nullptr), qz::kResultNullArgument);
    EXPECT_EQ(r.stream->WriteToFile(Str(folder.Path() + "/no/such/INDEX.MIF")),
              qz::kResultFileOperationFailure);
}

// A write that fails on the way leaves the old index as it was, and nothing
// beside it.
TEST(MIFStreamTest, AFailedWriteLeavesTheOldIndexWhole) {
    struct Case {
        const char* what;
        bool needsNonRoot;
        void (*arrange)(const std::string& folder);  // in the writing child
    };
    const Case cases[] = {
        {"file system full (a 1 MiB file size limit)", false,
         [](const std::string&) { LimitFileSize(1 << 20); }},
        {"read-only folder", true, [](const std::string& folder) { ::chmod(folder.c_str(), 0555); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsNonRoot && ::geteuid() == 0) continue;  // root writes into read-only folders
        ScratchFolder folder;
        const std::string path = folder.Path() + "/INDEX.MIF";
        const std::vector<uint8_t> old = cw::BuildMediaIndex(SmallCard(2));
        ASSERT_TRUE(WriteFile(path, old));
        CUSharedPtr<MIFStream> stream = MIFStream::Create(Str(path));
        ASSERT_TRUE(stream);
        stream->setFrameRateType(MIFStream::kFrameRateType50);
        const int exitCode = ExitCodeInChild([&] {
            c.arrange(folder.Path());
            return stream->WriteToFile(Str(path)) == qz::kResultFileOperationFailure ? 0 : 1;
        });
        ::chmod(folder.Path().c_str(), 0755);
        EXPECT_EQ(exitCode, 0);
        EXPECT_TRUE(ReadFile(path) == old);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

// Another process rewrites the index while this one reads it, from two
// threads: every read finds one whole index or the other, never a mix.
TEST(MIFStreamTest, ReadersNeverSeeAHalfWrittenIndex) {
    const std::vector<uint8_t> images[2] = {cw::BuildMediaIndex(SmallCard(2)),
                                            cw::BuildMediaIndex(SmallCard(3))};
    struct Case {
        const char* what;
        // Writes image `round % 2`, in the child.
        bool (*write)(const std::string& path, const std::vector<uint8_t>& image);
    };
    const Case cases[] = {
        {"rewritten in place under the lock",
         [](const std::string& path, const std::vector<uint8_t>& image) {
             const int fd = ::open(path.c_str(), O_RDWR);
             if (fd < 0 || ::flock(fd, LOCK_EX) != 0 || ::ftruncate(fd, 0) != 0) return false;
             const size_t half = image.size() / 2;
             bool ok = ::pwrite(fd, image.data(), half, 0) == static_cast<ssize_t>(half);
             ::usleep(20 * 1000);  // a reader that does not wait sees half a file
             ok = ok && ::pwrite(fd, image.data() + half, image.size() - half, static_cast<off_t>(half)) ==
                            static_cast<ssize_t>(image.size() - half);
             ::close(fd);
             return ok;
         }},
        {"replaced beside and renamed",
         [](const std::string& path, const std::vector<uint8_t>& image) {
             std::vector<uint8_t> copy = image;
             return qz::FBC_Utl_ExclusiveFileWrite(
                 Str(path),
                 CUSharedPtr<qz::CUMemoryStream>(new qz::CUMemoryStream(copy.data(), copy.size(), false)));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        const std::string path = folder.Path() + "/INDEX.MIF";
        ASSERT_TRUE(WriteFile(path, images[0]));
        const pid_t child = ::fork();
        if (child == 0) {
            for (int round = 1; round <= 8; ++round) {
                if (!c.write(path, images[round % 2])) ::_exit(1);
                ::usleep(5 * 1000);
            }
            ::_exit(0);
        }
        std::atomic<bool> done{false};
        std::atomic<int> reads{0}, bad{0};
        auto reader = [&] {
            while (!done) {
                uint32_t code = 1;
                CUSharedPtr<MIFStream> s = MIFStream::Create(Str(path), &code);
                const size_t clips = s ? s->ClipArray()->Count() : 0;
                if (code != 0 || (clips != 2 && clips != 3)) ++bad;
                ++reads;
            }
        };
        std::thread first(reader), second(reader);
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        done = true;
        first.join();
        second.join();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_GT(reads.load(), 0);
        EXPECT_EQ(bad.load(), 0) << "of " << reads.load() << " reads";
    }
}

}  // namespace
