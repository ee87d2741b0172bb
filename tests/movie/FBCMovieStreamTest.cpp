// The movie stream over written clips: every frame against what the card
// writer recorded, member lists and indexes that disagree with the files,
// and the time base (times to frames at their edges, edit rates that are
// not rates).
#include "FBCMovieSample.h"
#include "FBCMovieStreamForQT.h"
#include "MXFStream.h"
#include "MovieTestSupport.h"

#include "ClipMxfWriter.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <numeric>
#include <vector>

using namespace ComVantoVantoQZ64RADPlug;
using namespace movie_test;

namespace {

uint32_t ExpectedSampleFlags(const qztest::WrittenFrame& frame) {
    if (frame.record.type == 'B') return 0x08000001;
    if (frame.record.type == 'P') return 0x40000001;
    return frame.local == 0 ? 0x40000000 : 0x40010001;
}

// Display offsets of the whole clip, asked in stored order.
std::vector<int64_t> PresentationPositions(FBCMovieStream& movie) {
    std::vector<int64_t> positions;
    for (uint32_t f = 0; f < movie.FrameCountInClip(); ++f)
        positions.push_back(f + movie.DisplayOffsetAtIndex(f));
    return positions;
}

bool IsPermutationOfRange(std::vector<int64_t> positions) {
    std::sort(positions.begin(), positions.end());
    for (size_t i = 0; i < positions.size(); ++i)
        if (positions[i] != static_cast<int64_t>(i)) return false;
    return true;
}

}  // namespace

TEST(FBCMovieStreamTest, WrittenClipsAtEveryRateMatchTheWritersRecord) {
    const uint32_t channelCounts[] = {0, 1, 2, 4};
    std::vector<unsigned char> buffer(1 << 20);
    int run = 0;
    for (cw::FrameRate rate : cw::kAllFrameRates) {
        for (bool closed : {false, true}) {
            const uint32_t channels = channelCounts[run++ % 4];
            SCOPED_TRACE(cw::FrameRateName(rate) + (closed ? " closed" : " open") + " GOP, " +
                         std::to_string(channels) + " sound tracks");
            const qztest::ScratchClip clip("movie", qztest::SmallClip(rate, {7, 11, 9}, closed, channels));
            CUSharedPtr<FBCMovieSample> movie = FBCMovieSample::Create(Str(clip.cifPath));
            ASSERT_TRUE(movie);
            ASSERT_EQ(movie->FrameCountInClip(), 27u);
            ASSERT_EQ(movie->StreamInfoCount(), 3u);
            const cw::FrameRateTraits traits = cw::TraitsOf(rate);
            EXPECT_EQ(movie->timescale(), traits.editRateNumerator);
            EXPECT_EQ(movie->durationPerFrame(), traits.editRateDenominator);
            EXPECT_EQ(movie->trackCountFromType(kMxfTrackSound), channels);
            EXPECT_EQ(movie->trackIndexFromType(kMxfTrackPicture, 0), 1);
            EXPECT_EQ(movie->trackIndexFromType(kMxfTrackSound, 1), channels >= 2 ? 3 : -1);
            EXPECT_EQ(movie->RoundedTimecodeBase(), traits.roundedBase);
            EXPECT_EQ(movie->StartTimecode(), cw::MemberMxfDescription(clip.card, 0, 0).startTimecode);
            const cw::Umid umid = cw::FilePackageUmidOf(clip.card, 0, 0);
            ASSERT_TRUE(movie->GetClipID());
            EXPECT_TRUE(
                std::equal(umid.begin() + 16, umid.end(), movie->GetClipID()->GetUUIDBytes().begin()));

            for (uint32_t f = 0; f < 27; ++f) {
                const qztest::WrittenFrame& w = clip.frames[f];
                SCOPED_TRACE("frame " + std::to_string(f));
                // File, edit unit and offsets are checked end to end by the frames command's test.
                uint8_t flags = 0;
                ASSERT_TRUE(movie->FrameInfoAtIndex(f, nullptr, nullptr, &flags));
                EXPECT_EQ(flags, w.record.flags);
                EXPECT_EQ(movie->DisplayOffsetAtIndex(f), w.record.displayOffset);
                EXPECT_EQ(movie->sampleFlagAtIndex(f), ExpectedSampleFlags(w));
                EXPECT_EQ(movie->ReadSampleData(f, kMxfTrackPicture, 0, buffer.data(), buffer.size()),
                          w.record.pictureSize);
            }
            EXPECT_TRUE(IsPermutationOfRange(PresentationPositions(*movie)));
            EXPECT_FALSE(movie->mxfAtFrameIndex(27));
        }
    }
}

TEST(FBCMovieStreamTest, OpensFilesOnlyWhenAFrameOfThemIsAskedForAndNeverWrites) {
    const qztest::ScratchClip clip("movie", qztest::SmallClip(cw::FrameRate::k25p, {6, 6, 6}));
    std::vector<std::filesystem::file_time_type> times;
    for (const std::string& path : clip.mxfPaths) times.push_back(std::filesystem::last_write_time(path));
    CUSharedPtr<FBCMovieStream> movie = FBCMovieStream::Create(Str(clip.cifPath));
    ASSERT_TRUE(movie);
    auto opened = [&] {
        std::vector<bool> open;
        for (int i = 0; i < 3; ++i) open.push_back(bool(movie->StreamInfoAtIndex(i)->stream));
        return open;
    };
    EXPECT_EQ(opened(), (std::vector<bool>{true, false, false}));  // the track list is read from file 1
    unsigned char byte = 0;
    EXPECT_EQ(movie->ReadSampleData(14, kMxfTrackPicture, 0, &byte, 0), 0u);
    EXPECT_EQ(opened(), (std::vector<bool>{true, false, false}));
    movie->ReleaseMXFStream();
    EXPECT_EQ(opened(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(movie->DisplayOffsetAtIndex(13), clip.frames[13].record.displayOffset);
    EXPECT_EQ(opened(), (std::vector<bool>{false, false, true}));
    EXPECT_EQ(movie->StreamInfoAtIndex(-1), nullptr);
    EXPECT_EQ(movie->StreamInfoAtIndex(3), nullptr);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(std::filesystem::last_write_time(clip.mxfPaths[i]), times[i]);

    // A single MXF file, whatever the case of its extension; other extensions fail.
    const std::string lower = clip.root + "/single.mxf";
    std::filesystem::copy_file(clip.mxfPaths[1], lower);
    CUSharedPtr<FBCMovieStream> single = FBCMovieStream::Create(Str(lower));
    ASSERT_TRUE(single);
    EXPECT_EQ(single->FrameCountInClip(), 6u);
    EXPECT_FALSE(FBCMovieStream::Create(Str(clip.root + "/single.xml")));
}

// The member list and the stored duration are checked against each other
// and against the files.
TEST(FBCMovieStreamTest, ClipLengthIsWhatTheMembersHoldAndFitsInThirtyTwoBits) {
    cw::ClipDescription description = qztest::SmallClip(cw::FrameRate::k29_97p, {13, 12});
    const qztest::ScratchClip clip("movie", description);
    struct Case {
        std::vector<uint32_t> members;
        std::optional<uint32_t> duration;
        int64_t frames;  // -1: Init fails
    } cases[] = {
        {{13, 12}, 0xFFFFFFFFu, 25},  // stored duration beyond the files
        {{13, 12}, 200u, 25},
        {{13, 12}, 20u, 20},               // a shorter stored duration still governs
        {{0xFFFFFFF0u, 0x20u}, 100u, -1},  // members beyond 32 bits
        {{10, 15}, std::nullopt, 25},      // file 1 holds 13, file 2 only 12
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.members[0]);
        cw::CardDescription card;
        card.clips.push_back(qztest::SmallClip(cw::FrameRate::k29_97p, c.members));
        card.clips[0].writeMxfFiles = false;
        card.clips[0].coding.duration = c.duration;
        cw::WriteCard(card, clip.root);
        CUSharedPtr<FBCMovieStream> movie = FBCMovieStream::Create(Str(clip.cifPath));
        ASSERT_EQ(bool(movie), c.frames >= 0);
        if (movie) {
            EXPECT_EQ(movie->FrameCountInClip(), c.frames);
        }
    }

    // Members 10 + 15 over files of 13 + 12: the walk of the group cut by the
    // member end leaves no entries for the next file's frames, and frames
    // past the end of file 2 are refused.
    CUSharedPtr<FBCMovieStream> movie = FBCMovieStream::Create(Str(clip.cifPath));
    ASSERT_TRUE(movie);
    movie->DisplayOffsetAtIndex(8);
    for (uint32_t f = 10; f < 22; ++f)
        EXPECT_EQ(movie->DisplayOffsetAtIndex(f), clip.frames[f + 3].record.displayOffset) << f;
    std::vector<unsigned char> buffer(1 << 20);
    for (uint32_t f = 22; f < 25; ++f) {
        EXPECT_FALSE(movie->FrameInfoAtIndex(f));
        EXPECT_EQ(movie->ReadSampleData(f, kMxfTrackPicture, 0, buffer.data(), buffer.size()), 0u);
        EXPECT_EQ(movie->DisplayOffsetAtIndex(f), 0);
    }
    EXPECT_TRUE(movie->LastFailure().Failed());
}

// Leading pictures of a file whose key-frame offsets point before its first
// edit unit (a group begun in the previous file).
TEST(FBCMovieStreamTest, KeyFrameBeforeTheFilesStartWalksFromItsFirstEditUnit) {
    const qztest::ScratchClip clip("movie", qztest::SmallClip(cw::FrameRate::k25p, {12, 12}));
    cw::MxfFileDescription second = cw::MemberMxfDescription(clip.card, 0, 1);
    second.faults.keyFrameOffsets = {0, -4, -5};
    cw::WriteMxfFile(second, clip.mxfPaths[1]);
    CUSharedPtr<FBCMovieStream> movie = FBCMovieStream::Create(Str(clip.cifPath));
    ASSERT_TRUE(movie);
    for (uint32_t f : {13u, 14u, 12u})
        EXPECT_EQ(movie->DisplayOffsetAtIndex(f), clip.frames[f].record.displayOffset) << f;
    EXPECT_TRUE(IsPermutationOfRange(PresentationPositions(*movie)));
}

// Member entries that disagree with their files: one that ends inside a
// mini-GOP (30 of the file's 40 frames, 12-picture GOPs with 3 B pictures,
// so the P picture stored at 28 displays at 31) still gives one frame per
// presentation slot; a file that cannot be parsed is not parsed again.
TEST(FBCMovieStreamTest, MemberEntriesThatDisagreeWithTheirFiles) {
    const std::function<void(const qztest::ScratchClip&)> cases[] = {
        [](const qztest::ScratchClip& clip) {
            cw::CardDescription card = clip.card;
            card.clips[0].members[0].frameCount = card.clips[0].durationFrames = 30;
            card.clips[0].writeMxfFiles = false;
            cw::WriteCard(card, clip.root);
            CUSharedPtr<FBCMovieStream> movie = FBCMovieStream::Create(Str(clip.cifPath));
            ASSERT_TRUE(movie);
            ASSERT_EQ(movie->FrameCountInClip(), 30u);
            EXPECT_TRUE(IsPermutationOfRange(PresentationPositions(*movie)));
        },
        [](const qztest::ScratchClip& clip) {
            CUSharedPtr<FBCMovieStream> movie = FBCMovieStream::Create(Str(clip.cifPath));
            ASSERT_TRUE(movie);
            const std::vector<uint8_t> bytes = qztest::ReadFile(clip.mxfPaths[0]);
            ASSERT_TRUE(qztest::WriteFile(clip.mxfPaths[0], std::vector<uint8_t>(bytes.size(), 0)));
            movie->ReleaseMXFStream();
            EXPECT_FALSE(movie->mxfAtFrameIndex(1));
            ASSERT_TRUE(qztest::WriteFile(clip.mxfPaths[0], bytes));
            EXPECT_FALSE(movie->mxfAtFrameIndex(1)) << "parsed again";
        },
    };
    for (const auto& run : cases) {
        SCOPED_TRACE(&run - cases);
        cw::ClipDescription description = qztest::SmallClip(cw::FrameRate::k29_97p, {40});
        description.gopLength = 12;
        description.bPictures = 3;
        run(qztest::ScratchClip("movie", description));
    }
}

TEST(FBCMovieStreamTest, PictureValuesMustBePresentAndInRange) {
    const qztest::ScratchClip clip("movie", qztest::SmallClip(cw::FrameRate::k59_94i, {6}, false, 0));
    const std::vector<uint8_t> written = qztest::ReadFile(clip.mxfPaths[0]);
    const uint64_t header = clip.layouts[0].bodyPartitions.at(0);
    using qztest::BigEndian;
    struct Case {
        const char* name;
        uint16_t tag, length, newTag;
        std::vector<uint8_t> value;
        uint32_t result;
        int32_t width, height;
    } cases[] = {
        {"as written", 0x320C, 1, 0x320C, {}, 0, 1440, 1080},
        {"no layout", 0x320C, 1, 0x7F0C, {}, 0x111003, -1, -1},
        {"layout 2", 0x320C, 1, 0x320C, {2}, 0x111003, -1, -1},
        {"no width", 0x3209, 4, 0x7F09, {}, 0x111003, -1, -1},
        {"width 0", 0x3209, 4, 0x3209, BigEndian(0, 4), 0x111003, -1, -1},
        {"no height", 0x3208, 4, 0x7F08, {}, 0x111003, -1, -1},
        {"doubled past 2^31", 0x3208, 4, 0x3208, BigEndian(0x40000000, 4), 0x111003, -1, -1},
        {"doubled to 2^31 - 2", 0x3208, 4, 0x3208, BigEndian(0x3FFFFFFF, 4), 0, 1440, 0x7FFFFFFE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = written;
        ASSERT_GE(qztest::PatchItems(bytes, header, c.tag, c.length, c.newTag, c.value), 1);
        const std::string path = clip.root + "/case.MXF";
        ASSERT_TRUE(qztest::WriteFile(path, bytes));
        CUSharedPtr<FBCMovieStream> movie = FBCMovieStream::Create(Str(path));
        ASSERT_TRUE(movie);
        int32_t width = -1, height = -1;
        const _MxfTrackInfo* picture = movie->MxfTrackInfoFromType(kMxfTrackPicture, 0);
        ASSERT_TRUE(picture);
        EXPECT_EQ(movie->GetVideoInfoFromTrack(picture->track, &width, &height), c.result);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(movie->GetVideoInfoFromTrack(CUSharedPtr<STTrack>(), &width, &height), 0x110001u);
    }
}

TEST(FBCMovieStreamForQTTest, TimesBecomeFramesClampedToTheClip) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double kNaN = std::nan("");
    struct Case {
        cw::FrameRate rate;
        double seconds;
        uint32_t frame;
    } cases[] = {
        {cw::FrameRate::k29_97p, 1.0, 30}, {cw::FrameRate::k29_97p, 0.0333666, 1},
        {cw::FrameRate::k29_97p, 0.03, 0}, {cw::FrameRate::k25p, 0.96, 24},
        {cw::FrameRate::k25p, 0.9, 22},    {cw::FrameRate::k25p, -1.0, 0},
        {cw::FrameRate::k25p, 100.0, 40},  {cw::FrameRate::k25p, 1e300, 40},
        {cw::FrameRate::k25p, 3e9, 40},    {cw::FrameRate::k25p, kInf, 40},
        {cw::FrameRate::k25p, -kInf, 0},   {cw::FrameRate::k25p, kNaN, 0},
    };
    ScratchFolder folder("timing");
    CUSharedPtr<FBCMovieStreamForQT> movies[2];
    for (int i = 0; i < 2; ++i) {
        const auto rate = i == 0 ? cw::FrameRate::k29_97p : cw::FrameRate::k25p;
        const std::string root = folder.Path() + "/" + std::to_string(i);
        movies[i] =
            FBCMovieStreamForQT::Create(Str(qztest::WriteClip(root, qztest::SmallClip(rate, {40})).cifPath));
        ASSERT_TRUE(movies[i]);
    }
    for (const Case& c : cases) {
        const FBCMovieStreamForQT& movie = *movies[c.rate == cw::FrameRate::k25p ? 1 : 0];
        EXPECT_EQ(movie.frameIndexAtMovieTime(c.seconds), c.frame) << c.seconds;
    }
    const FBCMovieStreamForQT& ntsc = *movies[0];
    EXPECT_EQ(ntsc.frameIndexAtMediaTime(2002), 2);
    EXPECT_EQ(ntsc.frameIndexAtMediaTime(2001), 1);
    EXPECT_EQ(ntsc.frameIndexAtMediaTime(-2002), 0);
    EXPECT_EQ(ntsc.frameIndexAtMediaTime(std::numeric_limits<int64_t>::max()), 40);
}

// An edit rate of 30000/0 or 30000/-1001 gives no time base: the movie does
// not initialise and no conversion divides by it.
TEST(FBCMovieStreamForQTTest, EditRateMustBePositiveOverPositive) {
    const qztest::ScratchClip clip("timing", qztest::SmallClip(cw::FrameRate::k29_97p, {12}));
    const std::vector<uint8_t> written = qztest::ReadFile(clip.mxfPaths[0]);
    for (int64_t denominator : {0, -1001}) {
        std::vector<uint8_t> bytes = written;
        const std::vector<uint8_t> rate = qztest::BigEndian(30000ull << 32 | uint32_t(denominator), 8);
        ASSERT_GE(qztest::PatchItems(bytes, clip.layouts[0].bodyPartitions.at(0), 0x4B01, 8, 0x4B01, rate),
                  2);
        ASSERT_TRUE(qztest::WriteFile(clip.mxfPaths[0], bytes));
        EXPECT_FALSE(FBCMovieStreamForQT::Create(Str(clip.cifPath)));
        CUSharedPtr<FBCMovieStreamForQT> movie(new FBCMovieStreamForQT());
        EXPECT_FALSE(movie->Init(Str(clip.cifPath)));
        EXPECT_EQ(movie->durationPerFrame(), 0u);
        EXPECT_EQ(movie->frameIndexAtMediaTime(1001), -1);
        EXPECT_EQ(movie->frameIndexAtMovieTime(1.0), 0u);
        EXPECT_TRUE(movie->LastFailure().Failed());
    }
}
