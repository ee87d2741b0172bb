// The clip object: identity and paths, state, file checks of written and
// broken clips, the card's values, read-only access and concurrent queries.
#include "CFBCClip.h"

#include "CFBCContent.h"
#include "CUVector.h"
#include "FBCResultCodes.h"
#include "MXFStream.h"

#include "CardTestSupport.h"

#include <thread>

using namespace card_test;
using namespace ComVantoVantoQZ64RADPlug;
namespace cwn = ComVantoVantoQZ64RADPlug::CardWriter;
namespace fs = std::filesystem;

namespace {

cwn::ClipDescription SmallClip(const std::string& user, uint32_t number, uint32_t frames = 6) {
    cwn::ClipDescription clip;
    clip.id = {user, number};
    clip.durationFrames = frames;
    clip.xml.title = "Clip " + std::to_string(number);
    return clip;
}

cwn::CardDescription TwoClipCard() {
    cwn::CardDescription card = OneClipCard(SmallClip("AB", 12));
    card.clips.push_back(SmallClip("AB", 13, 9));
    card.clips[1].members = {{3, 1, {}}, {3, 2, {}}, {3, 3, {}}};  // spanned over three files
    return card;
}

}  // namespace

TEST(CFBCClipIdentity, PathsFollowTheClipIdentifier) {
    const cwn::CardDescription card = OneClipCard(SmallClip("AB", 12));
    auto clip =
        ClipFromBlock(cwn::BuildClipInformation(card, 0), card.clips[0].id, "/cards/one/CONTENTS/CLIPS001");
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->GetClipID()->Utf8(), "AB0012");
    EXPECT_EQ(clip->GetClipPath()->Utf8(), "/cards/one/CONTENTS/CLIPS001/AB0012");
    EXPECT_EQ(clip->GetCIFPath()->Utf8(), "/cards/one/CONTENTS/CLIPS001/AB0012/AB0012.CIF");
    EXPECT_EQ(clip->GetXMLPath()->Utf8(), "/cards/one/CONTENTS/CLIPS001/AB0012/AB0012.XML");
    EXPECT_EQ(clip->GetTHMPath()->Utf8(), "/cards/one/CONTENTS/CLIPS001/AB0012/AB0012.THM");
    EXPECT_EQ(clip->GetCPFPath()->Utf8(), "/cards/one/CONTENTS/CLIPS001/AB0012/AB0012.CPF");
    EXPECT_EQ(clip->MXFPathFromNumber(1)->Utf8(), "/cards/one/CONTENTS/CLIPS001/AB0012/AB001201.MXF");
    EXPECT_EQ(clip->SIFPathFromNumber(99)->Utf8(), "/cards/one/CONTENTS/CLIPS001/AB0012/AB001299.SIF");
    EXPECT_FALSE(clip->MXFPathFromNumber(0));
    EXPECT_FALSE(clip->MXFPathFromNumber(100));
    EXPECT_EQ(clip->GetClipsPath()->Utf8(), "/cards/one/CONTENTS/CLIPS001");
    EXPECT_EQ(clip->GatClipState(), 0u);
    EXPECT_EQ(clip->GetMediaInstanceID(), 0u);
    EXPECT_FALSE(clip->ExistsPlayableFiles());

    // Each clip takes its own instance ID.
    auto other = ClipInMemory(card);
    ASSERT_TRUE(other);
    EXPECT_NE(other->GetInstanceID(), clip->GetInstanceID());
    EXPECT_NE(other->GetInstanceID(), 0u);
}

TEST(CFBCClipIdentity, CreateRefusesMissingArguments) {
    const cwn::CardDescription card = OneClipCard(SmallClip("AB", 12));
    const auto id = cwn::ClipIdRecord(card.clips[0].id);
    auto cif = CifFromBytes(cwn::BuildClipInformation(card, 0));
    auto info = ClipIDInfo::Create(id.data());
    EXPECT_FALSE(CFBCClip::Create(CUSharedPtr<CUStringMac>(), info, cif));
    EXPECT_FALSE(CFBCClip::Create(CUSharedPtr<CUStringMac>(new CUStringMac(CUStringMac::Null())), info, cif));
    EXPECT_FALSE(CFBCClip::Create(Str("/c"), CUSharedPtr<ClipIDInfo>(), cif));
    EXPECT_FALSE(CFBCClip::Create(Str("/c"), info, CUSharedPtr<CIFStream>()));
    // A reader that holds no block cannot be copied.
    EXPECT_FALSE(CFBCClip::Create(Str("/c"), info, CUSharedPtr<CIFStream>(new CIFStream())));
    CFBCClip bare;
    EXPECT_EQ(bare.GatClipState(), 1u);
    EXPECT_FALSE(bare.ValueForTag(kClipValueClipID));
    EXPECT_FALSE(bare.ValueForTag(kClipValueDuration));
    EXPECT_EQ(bare.CheckFiles(), kResultPathMissing);
}

class WrittenClipCard : public ::testing::Test {
protected:
    void SetUp() override {
        card = TwoClipCard();
        cwn::WriteCard(card, folder.Path());
    }
    std::string ClipFile(size_t index, const std::string& extension) const {
        return cwn::ClipFilePath(folder.Path(), card.clips[index].id, extension);
    }
    std::string Member(size_t index, uint32_t number) const {
        return cwn::MemberMxfPath(folder.Path(), card.clips[index].id, number);
    }
    ScratchFolder folder;
    cwn::CardDescription card;
};

TEST_F(WrittenClipCard, CheckedClipReadsItsFiles) {
    auto clip = OpenWrittenClip(folder.Path(), card, 1);
    ASSERT_TRUE(clip);
    EXPECT_TRUE(clip->ExistsPlayableFiles());
    EXPECT_TRUE(SameUmid(clip->FirstMxfUMID(), cwn::FilePackageUmidOf(card, 1, 0)));
    EXPECT_TRUE(SameUmid(clip->LastMxfUMID(), cwn::FilePackageUmidOf(card, 1, 2)));
    EXPECT_TRUE(SameUmid(Value<UMID>(clip, kClipValueRelayPackageUID), cwn::RelayPackageUmidOf(card, 1)));
    EXPECT_TRUE(clip->GetClipMetaData());
    EXPECT_EQ(Text(clip, kClipValueTitle), "Clip 13");

    // A reader of a member file is new on every call and opens the file as it is.
    auto stream = clip->MXFStreamAtStreamNumber(2);
    ASSERT_TRUE(stream);
    EXPECT_EQ(stream->Parse(), 0u);
    EXPECT_FALSE(clip->MXFStreamAtStreamNumber(4));

    // Sizes: every file once; the MXF total alone.
    const int64_t mxf = static_cast<int64_t>(fs::file_size(Member(1, 1)) + fs::file_size(Member(1, 2)) +
                                             fs::file_size(Member(1, 3)));
    EXPECT_EQ(clip->TotalMxfSize(), mxf);
    EXPECT_EQ(clip->GetClipFileSize(), mxf + static_cast<int64_t>(fs::file_size(ClipFile(1, ".CIF")) +
                                                                  fs::file_size(ClipFile(1, ".XML"))));
}

TEST_F(WrittenClipCard, ClipFileSizeIsKeptAfterTheFirstAnswer) {
    auto clip = OpenWrittenClip(folder.Path(), card, 0);
    ASSERT_TRUE(clip);
    const int64_t before = Int(clip, kClipValueClipFileSize);
    const int64_t mxfBefore = Int(clip, kClipValueMxfFileSize);
    ASSERT_TRUE(qztest::WriteText(ClipFile(0, ".THM"), std::string(1000, 'x')));
    EXPECT_EQ(Int(clip, kClipValueClipFileSize), before);
    EXPECT_EQ(Int(clip, kClipValueMxfFileSize), mxfBefore);
    auto fresh = OpenWrittenClip(folder.Path(), card, 0);
    EXPECT_EQ(Int(fresh, kClipValueClipFileSize), before + 1000);
}

TEST_F(WrittenClipCard, MissingFirstMxfFileLeavesItsValuesEmpty) {
    fs::remove(Member(1, 1));
    auto clip = OpenWrittenClip(folder.Path(), card, 1);
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->GatClipState(), 0u);
    EXPECT_FALSE(clip->ExistsPlayableFiles());
    EXPECT_FALSE(clip->FirstMxfUMID());
    EXPECT_FALSE(clip->ValueForTag(kClipValueRelayPackageUID));
    EXPECT_TRUE(SameUmid(clip->LastMxfUMID(), cwn::FilePackageUmidOf(card, 1, 2)));
    EXPECT_EQ(Int(clip, kClipValueMxfFileSize),
              static_cast<int64_t>(fs::file_size(Member(1, 2)) + fs::file_size(Member(1, 3))));
    EXPECT_EQ(Int(clip, kClipValueDurationFrames), 9);
}

TEST_F(WrittenClipCard, UnreadableMxfFileGivesNoValuesAndNoCrash) {
    ASSERT_TRUE(qztest::WriteText(Member(0, 1), std::string(5000, '\x06')));
    auto clip = OpenWrittenClip(folder.Path(), card, 0);
    ASSERT_TRUE(clip);
    EXPECT_FALSE(clip->FirstMxfUMID());
    EXPECT_FALSE(clip->LastMxfUMID());
    EXPECT_FALSE(clip->ValueForTag(kClipValueRelayPackageUID));
    EXPECT_TRUE(clip->ExistsPlayableFiles());  // present, if unusable
}

TEST_F(WrittenClipCard, MissingOrBrokenMetadataDocumentAnswersNoDocumentValues) {
    fs::remove(ClipFile(0, ".XML"));
    ASSERT_TRUE(
        qztest::WriteText(ClipFile(1, ".XML"), "<?xml version=\"1.0\"?><Other><Title>x</Title></Other>"));
    for (size_t index : {0u, 1u}) {
        auto clip = OpenWrittenClip(folder.Path(), card, index);
        ASSERT_TRUE(clip);
        EXPECT_FALSE(clip->GetClipMetaData());
        for (uint32_t tag = kClipValueTitle; tag <= kClipValueDeviceLens; ++tag)
            EXPECT_FALSE(clip->ValueForTag(static_cast<_ClipValueTag>(tag))) << tag;
        EXPECT_EQ(Text(clip, kClipValueDeviceModelName), "QZ64");
        EXPECT_TRUE(clip->ValueForTag(kClipValueDuration));
    }
}

TEST_F(WrittenClipCard, CustomPictureDataIsPassedOnAsBytes) {
    const std::string bytes = std::string("CPF\0\x01\xFFpreset", 12);
    ASSERT_TRUE(qztest::WriteText(ClipFile(0, ".CPF"), bytes));
    auto clip = OpenWrittenClip(folder.Path(), card, 0);
    auto data = Value<CUVector<unsigned char>>(clip, kClipValueCustomPictureData);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::string(data->begin(), data->end()), bytes);
    // Each answer is the caller's own copy.
    data->clear();
    EXPECT_EQ(Value<CUVector<unsigned char>>(clip, kClipValueCustomPictureData)->size(), bytes.size());

    // An oversized file is not loaded (the file is sparse: nothing is written).
    fs::resize_file(ClipFile(0, ".CPF"), CFBCClip::kMaxCustomPictureBytes + 1);
    EXPECT_FALSE(OpenWrittenClip(folder.Path(), card, 0)->ValueForTag(kClipValueCustomPictureData));

    // A named pipe in its place is no custom picture file (and is not waited on).
    fs::remove(ClipFile(0, ".CPF"));
    ASSERT_EQ(mkfifo(ClipFile(0, ".CPF").c_str(), 0644), 0);
    EXPECT_FALSE(OpenWrittenClip(folder.Path(), card, 0)->ValueForTag(kClipValueCustomPictureData));
}

TEST_F(WrittenClipCard, BrokenBlocksAndAudioDoNotBreakTheClip) {
    // A block with an unsupported version: the clip exists but is not offered.
    cwn::CardDescription broken = TwoClipCard();
    broken.clips[0].coding.version = 0x0200;
    broken.clips[1].audioBitsPerSample = 24;
    ScratchFolder other;
    cwn::WriteCard(broken, other.Path());
    auto unsupported = OpenWrittenClip(other.Path(), broken, 0);
    ASSERT_TRUE(unsupported);
    EXPECT_EQ(unsupported->GatClipState(), 2u);
    EXPECT_FALSE(unsupported->ValueForTag(kClipValueDurationFrames));
    EXPECT_FALSE(unsupported->AllMXFFilePath());
    EXPECT_FALSE(unsupported->ExistsPlayableFiles());
    EXPECT_FALSE(unsupported->FirstMxfUMID());
    EXPECT_EQ(Text(unsupported, kClipValueClipID), "AB0012");
    EXPECT_EQ(Text(unsupported, kClipValueTitle), "Clip 12");

    auto audio24 = OpenWrittenClip(other.Path(), broken, 1);
    ASSERT_TRUE(audio24);
    EXPECT_EQ(audio24->GatClipState(), 0u);
    EXPECT_TRUE(SameUmid(audio24->FirstMxfUMID(), cwn::FilePackageUmidOf(broken, 1, 0)));
    EXPECT_EQ(Describe(audio24->ValueForTag(kClipValueDuration)), "0:0:0:9");

    // A member count of 100: no member list, no MXF values, no crash.
    broken.clips[1].coding.memberCount = 100;
    auto noMembers = ClipInMemory(broken, 1);
    ASSERT_TRUE(noMembers);
    EXPECT_EQ(noMembers->ReadClipInfoFromMXF(), 0u);
    EXPECT_FALSE(noMembers->AllMXFFilePath());
    EXPECT_EQ(Int(noMembers, kClipValueMxfFileSize), 0);
}

TEST_F(WrittenClipCard, ContentValuesComeFromTheCard) {
    auto content = CFBCContent::Create(Str(folder.Path()), Str("Card A"));
    ASSERT_TRUE(content);
    auto clip = CUDynamicCast<CFBCClip>(content->ClipList()->ObjectAtIndex(0));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->GetMedia(), content.get());
    EXPECT_EQ(clip->GetMediaInstanceID(), content->GetInstanceID());
    EXPECT_EQ(Text(clip, kClipValueMediaDisplayName), "Card A");
    EXPECT_EQ(Text(clip, kClipValueMediaRootPath), folder.Path());
    EXPECT_TRUE(SameUmid(Value<UMID>(clip, kClipValueRelayPackageUID), cwn::RelayPackageUmidOf(card, 0)));

    auto virtualMedium = CFBCContent::Create(Str(folder.Path()), Str(""), kContentsMediaTypeVirtual);
    ASSERT_TRUE(virtualMedium);
    auto virtualClip = CUDynamicCast<CFBCClip>(virtualMedium->ClipList()->ObjectAtIndex(0));
    ASSERT_TRUE(virtualClip);
    EXPECT_EQ(Text(virtualClip, kClipValueMediaRootPath), fs::path(folder.Path()).parent_path().string());
    EXPECT_EQ(Text(virtualClip, kClipValueMediaDisplayName), "");
}

TEST_F(WrittenClipCard, ReadingEveryValueLeavesTheCardUntouched) {
    const auto before = Snapshot(folder.Path());
    for (size_t i = 0; i < card.clips.size(); ++i) {
        auto clip = OpenWrittenClip(folder.Path(), card, i);
        ASSERT_TRUE(clip);
        AllValues(clip);
        clip->ExistsPlayableFiles();
        clip->GetClipFileSize();
        for (int64_t frame = 0; frame < 10; ++frame) clip->CalculateTimcodeFromFrameNo(frame);
    }
    ExpectUntouched(before, folder.Path());
}

TEST_F(WrittenClipCard, EightThreadsAskOneClipAndGetTheSameAnswers) {
    // Two clips: one fresh (kept values computed under contention), one
    // whose values have been asked once already.
    auto fresh = OpenWrittenClip(folder.Path(), card, 1);
    auto reference = OpenWrittenClip(folder.Path(), card, 1);
    ASSERT_TRUE(fresh && reference);
    const std::vector<std::string> expected = AllValues(reference);
    std::vector<std::vector<std::string>> results(8);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < results.size(); ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 5; ++round) {
                results[t] = AllValues(round % 2 ? reference : fresh);
                fresh->CalculateTimcodeFromFrameNo(round);
                fresh->CalculateDuration();
                fresh->ExistsPlayableFiles();
                if (t == 0) fresh->ReadClipInfoFromMXF();
            }
        });
    for (auto& thread : threads) thread.join();
    for (const auto& result : results) EXPECT_EQ(result, expected);
    EXPECT_EQ(AllValues(fresh), expected);
}

TEST(CFBCClipLocks, FileOperationLockIsRecursiveAndSeparate) {
    auto clip = ClipInMemory(OneClipCard(SmallClip("AB", 12)));
    clip->LockForFileOperation();
    clip->LockForFileOperation();
    // Values stay available while a file operation holds its own lock.
    std::thread reader([&] { EXPECT_EQ(Text(clip, kClipValueClipID), "AB0012"); });
    reader.join();
    clip->UnlockForFileOperation();
    clip->UnlockForFileOperation();
}
