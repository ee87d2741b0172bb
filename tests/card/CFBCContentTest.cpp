#include "CFBCContent.h"

#include "CULog.h"
#include "FBCResultCodes.h"
#include "MIFStream.h"
#include "SampleCard.h"

#include "CardTestSupport.h"

#include <sys/file.h>
#include <sys/syscall.h>

#include <atomic>
#include <cerrno>

// While set, flock is refused as a network file system refuses it on a
// read-only descriptor; otherwise the system call is made as usual.
static std::atomic<bool> g_refuseLocks{false};

extern "C" int flock(int fd, int operation) noexcept {
    if (g_refuseLocks) {
        errno = EBADF;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_flock, fd, operation));
}

namespace {

using namespace card_test;
using qz::CFBCClip;
using qz::CFBCContent;
using qz::CUSharedPtr;

CUSharedPtr<CFBCContent> Open(const std::string& root) {
    return CFBCContent::Create(Str(root), Str(""), qz::kContentsMediaTypeCard);
}

CUSharedPtr<CFBCContent> WriteAndOpen(const cw::CardDescription& card, const std::string& root) {
    cw::WriteCard(card, root);
    return Open(root);
}

CUSharedPtr<CFBCClip> ClipAt(const CFBCContent& content, size_t index) {
    return content.ClipList()->ObjectAtIndex(index);
}

// Every case has a scratch folder for its cards.
class CFBCContentTest : public ::testing::Test {
protected:
    ScratchFolder folder;
};

TEST_F(CFBCContentTest, SampleCardIsReadyWithEveryClipInIndexOrder) {
    const cw::CardDescription card = cw::SampleCardDescription();
    CUSharedPtr<CFBCContent> content = WriteAndOpen(card, folder.Path());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->ContentState(), qz::kContentStateReady);
    EXPECT_EQ(content->GetClipsPath()->Utf8(), cw::ClipsFolderPath(folder.Path()));
    EXPECT_EQ(content->GetIndexPath()->Utf8(), cw::MediaIndexPath(folder.Path()));
    EXPECT_EQ(content->GetRootPath()->Utf8(), folder.Path());
    EXPECT_EQ(content->GetMediaIconType(), qz::kContentsMediaTypeCard);
    ASSERT_EQ(content->GetClipCnt(), card.clips.size());
    std::vector<std::string> expected;
    for (const auto& clip : card.clips) expected.push_back(cw::ClipIdText(clip.id));
    EXPECT_EQ(ClipIDs(content->ClipList()), expected);
    EXPECT_EQ(ClipIDs(content->OfferedClipList()), expected);

    EXPECT_TRUE(IsUUID(content->ValueForTag(qz::kContentValueMediaID), card.mediaUuid));
    EXPECT_EQ(NumberOf(content->ValueForTag(qz::kContentValueIndexVersion)), 0x0101u);
    EXPECT_EQ(NumberOf(content->ValueForTag(qz::kContentValueSystemBitmap)), cw::DefaultSystemBitmap(card));
    EXPECT_FALSE(content->ValueForTag(qz::kContentValueTagCount));

    for (size_t i = 0; i < content->GetClipCnt(); ++i) {
        CUSharedPtr<CFBCClip> clip = ClipAt(*content, i);
        EXPECT_EQ(clip->GetMedia(), content.get());
        EXPECT_EQ(clip->GetMediaInstanceID(), content->GetInstanceID());
        EXPECT_EQ(content->clipForClipInstanceID(clip->GetInstanceID()), clip);
        EXPECT_EQ(content->ClipCheckResult(i), 0u);
        EXPECT_TRUE(content->IsClipOffered(i));
    }
    EXPECT_FALSE(content->clipForClipInstanceID(0));
    EXPECT_FALSE(content->IsClipOffered(card.clips.size()));

    const std::string nl = qz::CU_NEWLINE_CHAR;
    EXPECT_EQ(content->Description()->Utf8(), "CFBCContent{" + nl + "root = " + folder.Path() + nl +
                                                  "disp = " + nl + "type = Card" + nl + "}");
}

TEST_F(CFBCContentTest, ClipOrderIsTheIndexOrderNotTheFolderOrder) {
    cw::CardDescription card = SmallCard(4);
    card.clipOrder = {3, 1, 0, 2};
    CUSharedPtr<CFBCContent> content = WriteAndOpen(card, folder.Path());
    ASSERT_TRUE(content);
    EXPECT_EQ(ClipIDs(content->ClipList()),
              (std::vector<std::string>{"QZ0004", "QZ0002", "QZ0001", "QZ0003"}));
    // A clip folder the index does not name is not a clip of the card.
    card.clipOrder = {1, 0};
    content = WriteAndOpen(card, folder.Path());
    ASSERT_TRUE(content);
    EXPECT_EQ(ClipIDs(content->ClipList()), (std::vector<std::string>{"QZ0002", "QZ0001"}));
}

TEST_F(CFBCContentTest, FolderWithoutIndexIsNotACard) {
    EXPECT_FALSE(Open(folder.Path()));
    EXPECT_FALSE(Open(folder.Path() + "/does-not-exist"));
    CFBCContent content;
    EXPECT_EQ(content.Init(Str(folder.Path()), Str(""), qz::kContentsMediaTypeCard), qz::kResultReadFailure);
    EXPECT_EQ(content.ContentState(), qz::kContentStateInvalid);
    EXPECT_EQ(content.GetClipCnt(), 0u);
    EXPECT_FALSE(content.ContentDataFileExist());
    // A virtual medium may lack its index.
    CFBCContent virtualMedium;
    EXPECT_EQ(virtualMedium.Init(Str(folder.Path()), Str("v"), qz::kContentsMediaTypeVirtual), 0u);
    EXPECT_EQ(virtualMedium.ContentState(), qz::kContentStateInvalid);
    EXPECT_NE(virtualMedium.Description()->Utf8().find("type = Virtual"), std::string::npos);

    EXPECT_FALSE(CFBCContent::Create(nullptr, Str(""), qz::kContentsMediaTypeCard));
    EXPECT_FALSE(CFBCContent::Create(Str(folder.Path()), nullptr, qz::kContentsMediaTypeCard));
    CFBCContent nullArguments;
    EXPECT_EQ(nullArguments.Init(nullptr, Str(""), qz::kContentsMediaTypeCard), qz::kResultNullArgument);
    EXPECT_NE(nullArguments.GetInstanceID(), 0u);
}

TEST_F(CFBCContentTest, BrokenIndexesGiveTheStateTheyStandFor) {
    struct Case {
        const char* what;
        void (*edit)(cw::CardDescription&);
        bool created;
        qz::_ContentState state;
    };
    const Case cases[] = {
        {"wrong magic", [](cw::CardDescription& c) { c.index.magic = 0x4D4A; }, false,
         qz::kContentStateInvalid},
        {"major version 2", [](cw::CardDescription& c) { c.index.version = 0x0201; }, true,
         qz::kContentStateUnsupported},
        {"clip count 1000", [](cw::CardDescription& c) { c.index.clipCount = 1000; }, false,
         qz::kContentStateInvalid},
        {"invalid clip ID record", [](cw::CardDescription& c) { c.clips[1].id.userId = "Q:"; }, false,
         qz::kContentStateInvalid},
        {"frame-rate type not allowed", [](cw::CardDescription& c) { c.index.systemBitmap = 0x03; }, true,
         qz::kContentStateBadSystem},
        {"media metadata version 2", [](cw::CardDescription& c) { c.index.mediaMetadataVersion = 0x0200; },
         true, qz::kContentStateUnsupported},
        {"media metadata magic", [](cw::CardDescription& c) { c.index.mediaMetadataMagic = 0; }, false,
         qz::kContentStateInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        cw::CardDescription card = SmallCard(2, 6, false);  // the index is what is tested
        c.edit(card);
        const std::string root = folder.Path() + "/" + std::to_string(&c - cases);
        CUSharedPtr<CFBCContent> content = WriteAndOpen(card, root);
        EXPECT_EQ(static_cast<bool>(content), c.created);
        CFBCContent direct;
        const uint32_t code = direct.Init(Str(root), Str(""), qz::kContentsMediaTypeCard);
        EXPECT_EQ(code, c.created ? 0u : qz::kResultReadFailure);
        EXPECT_EQ(direct.ContentState(), c.state);
        EXPECT_EQ(direct.GetClipCnt(), 0u);
        EXPECT_EQ(direct.OfferedClipList()->Count(), 0u);
    }
}

// Failing file checks and an unsupported clip block hide only their clips.
TEST_F(CFBCContentTest, AFailingClipHidesOnlyThatClip) {
    cw::CardDescription card = SmallCard(4);
    card.clips[3].coding.version = 0x0200;
    cw::WriteCard(card, folder.Path());
    // The third clip loses its first MXF file, the second its whole folder.
    std::filesystem::remove(cw::MemberMxfPath(folder.Path(), card.clips[2].id, 1));
    std::filesystem::remove_all(cw::ClipFolderPath(folder.Path(), card.clips[1].id));

    CUSharedPtr<CFBCContent> content = Open(folder.Path());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->ContentState(), qz::kContentStateReady);
    EXPECT_EQ(ClipIDs(content->ClipList()),
              (std::vector<std::string>{"QZ0001", "QZ0002", "QZ0003", "QZ0004"}));
    EXPECT_EQ(ClipIDs(content->OfferedClipList()), std::vector<std::string>{"QZ0001"});
    EXPECT_EQ(ClipAt(*content, 3)->GatClipState(), 2u);

    // The hidden clips still answer what their index entry holds; what only
    // the missing files hold is null.
    CUSharedPtr<CFBCClip> last = ClipAt(*content, 2);
    EXPECT_EQ(last->GatClipState(), 0u);
    EXPECT_EQ(NumberOf(last->ValueForTag(qz::kClipValueDurationFrames)), card.clips[2].durationFrames);
    EXPECT_FALSE(last->ValueForTag(qz::kClipValueRelayPackageUID));
    EXPECT_TRUE(ClipAt(*content, 0)->ValueForTag(qz::kClipValueRelayPackageUID));
}

// Every value of every clip, so that each reader has looked at its files.
void ReadEverything(CFBCContent& content) {
    for (size_t i = 0; i < content.GetClipCnt(); ++i) {
        CUSharedPtr<CFBCClip> clip = ClipAt(content, i);
        AllValues(clip);  // the date as its time: its text as well
        if (auto date = clip->ValueForTag(qz::kClipValueShootingDateTime)) date->Description();
        clip->CalculateDuration();
        clip->ExistsPlayableFiles();
        clip->GetClipFileSize();
    }
    for (uint32_t tag = 0; tag <= qz::kContentValueTagCount; ++tag)
        content.ValueForTag(static_cast<qz::_ContentValueTag>(tag));
    content.OfferedClipList();
    content.isMidifyFromOther();
    bool changed = true;
    content.ReOpenContentDataIfDataExistStateChanged(&changed);
    EXPECT_FALSE(changed);
}

TEST_F(CFBCContentTest, OpeningListingAndReadingLeaveTheCardUntouched) {
    cw::SampleCardOptions options;
    options.clipCount = 3;
    options.durationFrames = 6;
    cw::CardDescription card = cw::SampleCardDescription(options);
    cw::WriteCard(card, folder.Path());
    // A hidden clip is read as far as it goes too.
    std::filesystem::remove(cw::MemberMxfPath(folder.Path(), card.clips[2].id, 1));
    const auto before = Snapshot(folder.Path());
    {
        CUSharedPtr<CFBCContent> content = Open(folder.Path());
        ASSERT_TRUE(content);
        ReadEverything(*content);
        EXPECT_EQ(content->ReOpenContentData(), 0u);
        ReadEverything(*content);
    }
    ExpectUntouched(before, folder.Path());
}

TEST_F(CFBCContentTest, ReOpensWhenTheIndexChangesOrDisappears) {
    cw::CardDescription card = SmallCard(3, 6, false);
    CUSharedPtr<CFBCContent> content = WriteAndOpen(card, folder.Path());
    ASSERT_TRUE(content);
    CUSharedPtr<qz::CUArray> array = content->ClipList();
    bool changed = true;
    EXPECT_EQ(content->ReOpenContentDataIfDataExistStateChanged(&changed), 0u);
    EXPECT_FALSE(changed);
    EXPECT_FALSE(content->isMidifyFromOther());
    EXPECT_EQ(content->ReOpenContentDataIfDataExistStateChanged(nullptr), 0u);

    // Another writer replaces the index with two entries, a few seconds later.
    card.clipOrder = {2, 0};
    cw::WriteCard(card, folder.Path());
    const std::string index = cw::MediaIndexPath(folder.Path());
    const auto later = std::filesystem::last_write_time(index) + std::chrono::seconds(5);
    std::filesystem::last_write_time(index, later);
    EXPECT_TRUE(content->isMidifyFromOther());
    EXPECT_EQ(content->ReOpenContentDataIfDataExistStateChanged(&changed), 0u);
    EXPECT_TRUE(changed);
    EXPECT_EQ(ClipIDs(content->ClipList()), (std::vector<std::string>{"QZ0003", "QZ0001"}));
    EXPECT_EQ(content->ClipList(), array);  // same array, new content
    EXPECT_FALSE(content->isMidifyFromOther());

    std::filesystem::remove(index);
    EXPECT_EQ(content->ReOpenContentDataIfDataExistStateChanged(&changed), qz::kResultReadFailure);
    EXPECT_TRUE(changed);
    EXPECT_EQ(content->ContentState(), qz::kContentStateInvalid);
    EXPECT_EQ(content->GetClipCnt(), 0u);

    cw::WriteCard(card, folder.Path());
    EXPECT_EQ(content->ReOpenContentDataIfDataExistStateChanged(&changed), 0u);
    EXPECT_TRUE(changed);
    EXPECT_EQ(content->GetClipCnt(), 2u);
}

TEST_F(CFBCContentTest, SetValueForTagChangesMemoryOnly) {
    cw::WriteCard(SmallCard(1, 6, false), folder.Path());
    const std::vector<uint8_t> before = ReadFile(cw::MediaIndexPath(folder.Path()));
    CUSharedPtr<CFBCContent> content = Open(folder.Path());
    ASSERT_TRUE(content);
    EXPECT_EQ(content->SetValueForTag(nullptr, qz::kContentValueMediaID), qz::kResultNullArgument);
    EXPECT_EQ(content->SetValueForTag(qz::CUUUID::Create(), qz::kContentValueTagCount),
              qz::kResultPathMissing);
    CUSharedPtr<qz::CUUUID> uuid = qz::CUUUID::Create();
    EXPECT_EQ(content->SetValueForTag(uuid, qz::kContentValueMediaID), 0u);
    EXPECT_TRUE(IsUUID(content->ValueForTag(qz::kContentValueMediaID), *uuid));
    EXPECT_TRUE(content->GetMIFStream()->isModify());
    EXPECT_EQ(ReadFile(cw::MediaIndexPath(folder.Path())), before);

    CFBCContent empty;
    EXPECT_EQ(empty.SetValueForTag(uuid, qz::kContentValueMediaID), qz::kResultPathMissing);
    EXPECT_FALSE(empty.ValueForTag(qz::kContentValueMediaID));
}

TEST_F(CFBCContentTest, AClipKeptAfterItsCardIsGoneNoLongerReachesTheCard) {
    cw::WriteCard(SmallCard(1, 6, false), folder.Path());
    CUSharedPtr<CFBCClip> clip;
    {
        CUSharedPtr<CFBCContent> content = Open(folder.Path());
        ASSERT_TRUE(content);
        clip = ClipAt(*content, 0);
        CUSharedPtr<qz::CUStringMac> root = clip->ValueForTag(qz::kClipValueMediaRootPath);
        ASSERT_TRUE(root);
        EXPECT_EQ(root->Utf8(), folder.Path());
    }
    // The content is destroyed; its clips must not point at it any more.
    EXPECT_EQ(clip->GetMedia(), nullptr);
    EXPECT_EQ(clip->GetMediaInstanceID(), 0u);
    EXPECT_FALSE(clip->ValueForTag(qz::kClipValueMediaRootPath));
    EXPECT_FALSE(clip->ValueForTag(qz::kClipValueMediaDisplayName));
    EXPECT_EQ(clip->GetClipID()->Utf8(), "QZ0001");
}

TEST_F(CFBCContentTest, CreationIsLoggedForAFailedInitialisationToo) {
    const std::string logs = folder.Path() + "/logs";
    qz::CULog::InitializeWithName(Str(logs), Str("content"), qz::kCULogLevelDebug);
    ASSERT_TRUE(qz::CULog::GetInstance());
    const std::string notACard = folder.Path() + "/empty";
    std::filesystem::create_directories(notACard);
    EXPECT_FALSE(CFBCContent::Create(Str(notACard), Str("Disp"), qz::kContentsMediaTypeCard));
    EXPECT_FALSE(CFBCContent::Create(nullptr, Str("Null"), qz::kContentsMediaTypeCard));
    qz::CULog::Terminate();
    const std::string text = qztest::ReadText(logs + "/content0.log");
    EXPECT_NE(text.find("Create Media Path[" + notACard + "] Name[Disp] Type[3]"), std::string::npos) << text;
    EXPECT_EQ(text.find("Name[Null]"), std::string::npos);
}

CUSharedPtr<CFBCContent> NewMedia(const std::string& root, const CUSharedPtr<qz::CUUUID>& id, uint8_t type) {
    return CFBCContent::CreateNewMedia(Str(root), Str("New"), qz::kContentsMediaTypeCard, id, type);
}

TEST_F(CFBCContentTest, CreateNewMediaMakesAnEmptyCardThatReadsBack) {
    for (uint8_t type : {1, 2, 4}) {
        SCOPED_TRACE(int{type});
        ScratchFolder empty;
        cw::CardDescription expected;
        expected.index.systemBitmap = type;
        CUSharedPtr<qz::CUUUID> id = qz::CUUUID::Create(expected.mediaUuid.data());
        CUSharedPtr<CFBCContent> made = NewMedia(empty.Path(), id, type);
        ASSERT_TRUE(made);
        EXPECT_EQ(made->GetMediaCreationType(), qz::kMediaCreationTypeNew);
        EXPECT_EQ(made->ContentState(), qz::kContentStateReady);
        EXPECT_TRUE(ReadFile(cw::MediaIndexPath(empty.Path())) == cw::BuildMediaIndex(expected));
        CUSharedPtr<CFBCContent> opened = Open(empty.Path());
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->ContentState(), qz::kContentStateReady);
        EXPECT_EQ(opened->GetClipCnt(), 0u);
        EXPECT_EQ(opened->GetMediaCreationType(), qz::kMediaCreationTypeOpened);
        EXPECT_EQ(NumberOf(opened->ValueForTag(qz::kContentValueFrameRateType)), type);
        EXPECT_TRUE(IsUUID(opened->ValueForTag(qz::kContentValueMediaID), *id));
    }

    // Refused: a type the new index cannot hold, a root that is no folder,
    // and above all an existing card, which stays as it was.
    EXPECT_FALSE(NewMedia(folder.Path(), nullptr, 0));
    EXPECT_FALSE(NewMedia(folder.Path(), nullptr, 3));
    EXPECT_FALSE(NewMedia(folder.Path() + "/missing", nullptr, 1));
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "/CONTENTS"));
    // A file system too full for the index.
    EXPECT_EQ(ExitCodeInChild([&] {
                  LimitFileSize(1 << 20);
                  return NewMedia(folder.Path(), nullptr, 1) ? 1 : 0;
              }),
              0);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    CUSharedPtr<CFBCContent> fresh = NewMedia(folder.Path(), nullptr, 1);  // a fresh UUID
    ASSERT_TRUE(fresh);
    EXPECT_TRUE(fresh->ValueForTag(qz::kContentValueMediaID));
    ScratchFolder existing;
    cw::WriteCard(SmallCard(1), existing.Path());
    const auto before = Snapshot(existing.Path());
    EXPECT_FALSE(NewMedia(existing.Path(), nullptr, 1));
    ExpectUntouched(before, existing.Path());
}

TEST_F(CFBCContentTest, FlushWritesChangedValuesAndClipsBackAndOnlyThen) {
    CUSharedPtr<CFBCContent> content = WriteAndOpen(SmallCard(3), folder.Path());
    ASSERT_TRUE(content);
    const auto before = Snapshot(folder.Path());
    EXPECT_EQ(content->Flush(), 0u);  // nothing changed: nothing written
    ExpectUntouched(before, folder.Path());

    CUSharedPtr<qz::CUUUID> id = qz::CUUUID::Create();
    ASSERT_EQ(content->SetValueForTag(id, qz::kContentValueMediaID), 0u);
    CUSharedPtr<qz::CUMutableArray> clips = qz::CUMutableArray::Create();
    clips->AddObject(ClipAt(*content, 2));
    clips->AddObject(ClipAt(*content, 0));
    content->GetMIFStream()->SetClipArray(clips);
    ASSERT_EQ(content->Flush(), 0u);
    EXPECT_EQ(ClipIDs(content->ClipList()), (std::vector<std::string>{"QZ0003", "QZ0001"}));
    EXPECT_FALSE(content->isMidifyFromOther());

    CUSharedPtr<CFBCContent> back = Open(folder.Path());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->ContentState(), qz::kContentStateReady);
    EXPECT_EQ(ClipIDs(back->OfferedClipList()), (std::vector<std::string>{"QZ0003", "QZ0001"}));
    EXPECT_TRUE(IsUUID(back->ValueForTag(qz::kContentValueMediaID), *id));
}

TEST_F(CFBCContentTest, DeleteContentRemovesOnlyTheContentsTreeOfItsOwnCard) {
    const std::string card = folder.Path() + "/card", outside = folder.Path() + "/outside";
    cw::WriteCard(SmallCard(2), card);
    std::filesystem::create_directories(outside + "/folder");
    ASSERT_TRUE(WriteFile(outside + "/file", {1, 2, 3}));
    ASSERT_TRUE(WriteFile(outside + "/folder/inner", {4, 5}));
    const std::string clip = cw::ClipFolderPath(card, cw::ClipId{"QZ", 1});
    std::filesystem::create_directory_symlink(outside + "/folder", clip + "/link-to-folder");
    std::filesystem::create_symlink(outside + "/file", clip + "/link-to-file");
    std::filesystem::create_directory_symlink(outside, card + "/CONTENTS/link-to-outside");
    const auto outsideBefore = Snapshot(outside);

    CUSharedPtr<CFBCContent> content = Open(card);
    ASSERT_TRUE(content);
    EXPECT_EQ(content->DeleteContent(), 0u);
    EXPECT_FALSE(std::filesystem::exists(card + "/CONTENTS"));
    EXPECT_TRUE(std::filesystem::is_directory(card));
    ExpectUntouched(outsideBefore, outside);
    EXPECT_EQ(content->GetClipCnt(), 0u);
    EXPECT_EQ(content->DeleteContent(), qz::kResultPathMissing);  // nothing opened any more

    // Another card now at the path, or a CONTENTS that is a link to a copy
    // of the card elsewhere: left alone.
    content = WriteAndOpen(SmallCard(1), card);
    ASSERT_TRUE(content);
    cw::CardDescription other = SmallCard(1);
    other.mediaUuid[15] ^= 0xFF;
    cw::WriteCard(other, card);
    auto cardBefore = Snapshot(card);
    EXPECT_EQ(content->DeleteContent(), qz::kResultReadFailure);
    ExpectUntouched(cardBefore, card);

    const std::string copy = folder.Path() + "/copy";
    cw::WriteCard(other, copy);
    std::filesystem::remove_all(card + "/CONTENTS");
    std::filesystem::create_directory_symlink(copy + "/CONTENTS", card + "/CONTENTS");
    content = Open(card);
    ASSERT_TRUE(content);
    const auto copyBefore = Snapshot(copy);
    EXPECT_EQ(content->DeleteContent(), qz::kResultFileOperationFailure);
    ExpectUntouched(copyBefore, copy);
    EXPECT_EQ(content->GetClipCnt(), 1u);  // still holds what is still there

    // A folder that is no card is never deleted.
    std::filesystem::create_directories(folder.Path() + "/plain/CONTENTS/CLIPS001");
    CUSharedPtr<CFBCContent> virtualMedium =
        CFBCContent::Create(Str(folder.Path() + "/plain"), Str(""), qz::kContentsMediaTypeVirtual);
    ASSERT_TRUE(virtualMedium);
    EXPECT_EQ(virtualMedium->DeleteContent(), qz::kResultPathMissing);
    EXPECT_TRUE(std::filesystem::exists(folder.Path() + "/plain/CONTENTS/CLIPS001"));
}

TEST_F(CFBCContentTest, ClipNumbersThumbnailsSelectionAndTheSmallOperations) {
    const std::string root = folder.Path() + "/card";
    CUSharedPtr<CFBCContent> content = WriteAndOpen(SmallCard(3), root);
    ASSERT_TRUE(content);

    // Free clip numbers: not in the index, no folder of that name.
    std::filesystem::create_directory(cw::ClipsFolderPath(root) + "/QZ0004");
    const struct {
        const char* user;
        uint32_t code, number;
    } numbers[] = {
        {"QZ", 0, 5}, {"AB", 0, 1}, {"Q", qz::kResultNullArgument, 0}, {"Q/", qz::kResultNullArgument, 0}};
    for (const auto& n : numbers) {
        uint32_t number = 0;
        EXPECT_EQ(content->CheckClipNumber(Str(n.user), &number), n.code) << n.user;
        EXPECT_EQ(number, n.number) << n.user;
    }
    for (const auto& [id, exists] : std::vector<std::pair<const char*, bool>>{
             {"QZ0001", true}, {"QZ0004", true}, {"QZ0009", false}, {"INDEX.MIF", false}, {"../../x", false}})
        EXPECT_EQ(content->ClipFileExist(Str(id)), exists) << id;

    // The same clip: same ID and clip information, from any card.
    EXPECT_TRUE(content->CheckContainSameClip(ClipAt(*Open(root), 1)));
    ScratchFolder otherFolder;
    cw::WriteCard(SmallCard(3, 9), otherFolder.Path());
    EXPECT_FALSE(content->CheckContainSameClip(ClipAt(*Open(otherFolder.Path()), 1)));
    EXPECT_FALSE(content->CheckContainSameClip(nullptr));
    EXPECT_FALSE(content->CheckContainBackupClip());

    content->SetSelectedAllClip(true);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(ClipAt(*content, i)->IsSelected());
    content->SetSelectedAllClip(false);
    EXPECT_FALSE(ClipAt(*content, 2)->IsSelected());

    // Thumbnails are read once and kept until reset; clearing deletes them.
    CUSharedPtr<CFBCClip> first = ClipAt(*content, 0);
    const std::string thm = first->GetTHMPath()->Utf8();
    ASSERT_TRUE(WriteFile(thm, {1, 2}));
    ASSERT_TRUE(first->GetThumbnailData());
    ASSERT_TRUE(WriteFile(thm, {3}));
    EXPECT_EQ(first->GetThumbnailData()->size(), 2u);
    content->ResetAllClipThumbnail();
    EXPECT_EQ(first->GetThumbnailData()->size(), 1u);
    EXPECT_EQ(content->ClearClipThumbnailFiles(), 0u);
    EXPECT_FALSE(std::filesystem::exists(thm));
    EXPECT_FALSE(first->GetThumbnailData());

    CUSharedPtr<qz::CUStringMac> drive = content->GetDriveLetter();
    ASSERT_TRUE(drive);
    EXPECT_EQ(root.rfind(drive->Utf8(), 0), 0u) << drive->Utf8();

    CUSharedPtr<qz::CUObject> data = qz::CUNumber::Create<uint32_t>(7);
    content->SetFBCData(data);
    EXPECT_EQ(content->GetFBCData().get(), data.get());
    content->SetMediaCreationType(qz::kMediaCreationTypeNew);
    EXPECT_EQ(content->GetMediaCreationType(), qz::kMediaCreationTypeNew);
    EXPECT_EQ(content->SetDisplayName(Str("Card A")), 0u);
    EXPECT_EQ(content->GetDisplayName()->Utf8(), "Card A");
    EXPECT_EQ(content->SetDisplayName(nullptr), qz::kResultNullArgument);

    // The card mounted elsewhere: every path follows, nothing is read.
    const std::string moved = folder.Path() + "/moved";
    std::filesystem::rename(root, moved);
    EXPECT_EQ(content->SetRootPath(Str(moved)), 0u);
    EXPECT_EQ(content->GetIndexPath()->Utf8(), cw::MediaIndexPath(moved));
    EXPECT_EQ(ClipAt(*content, 2)->GetClipPath()->Utf8(), cw::ClipFolderPath(moved, cw::ClipId{"QZ", 3}));
    EXPECT_EQ(content->SetRootPath(nullptr), qz::kResultNullArgument);

    content->UnlockMedia();
    EXPECT_EQ(content->GetClipCnt(), 0u);
    EXPECT_NE(content->ContentState(), qz::kContentStateReady);
    EXPECT_EQ(content->ReOpenContentData(), 0u);
    EXPECT_EQ(ClipIDs(content->OfferedClipList()), (std::vector<std::string>{"QZ0001", "QZ0002", "QZ0003"}));
}

TEST_F(CFBCContentTest, NewMediaAndDeletionAreLogged) {
    const std::string logs = folder.Path() + "/logs", root = folder.Path() + "/card";
    std::filesystem::create_directories(root);
    qz::CULog::InitializeWithName(Str(logs), Str("manage"), qz::kCULogLevelDebug);
    CUSharedPtr<CFBCContent> content = NewMedia(root, nullptr, 2);
    ASSERT_TRUE(content);
    EXPECT_EQ(content->DeleteContent(), 0u);
    qz::CULog::Terminate();
    const std::string text = qztest::ReadText(logs + "/manage0.log");
    EXPECT_NE(text.find("Create New Media Path[" + root + "] Name[New] Type[3] FrameRateType[2]"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Delete Media Path [" + root + "]"), std::string::npos) << text;
}

// The clips at `positions` of the content's list, as a new array.
CUSharedPtr<qz::CUMutableArray> ClipsOf(const CFBCContent& content, std::vector<size_t> positions) {
    CUSharedPtr<qz::CUMutableArray> clips = qz::CUMutableArray::Create();
    for (size_t i : positions) clips->AddObject(ClipAt(content, i));
    return clips;
}

// Card management over a card of three clips each: it writes only over the
// index as it read it, creates a card only where none is, reads where the
// lock is refused, and its dropped clips forget the card.
TEST_F(CFBCContentTest, ManagementWritesOnlyOverTheIndexItReadAndDroppedClipsForgetTheCard) {
    const std::function<void(const std::string&)> cases[] = {
        [](const std::string& root) {  // another medium mounted at the path since the opening
            CUSharedPtr<CFBCContent> a = Open(root);
            cw::CardDescription b = SmallCard(2);
            b.mediaUuid[0] ^= 1;
            cw::WriteCard(b, root);
            const std::vector<uint8_t> before = ReadFile(cw::MediaIndexPath(root));
            a->GetMIFStream()->SetClipArray(ClipsOf(*a, {0}));
            EXPECT_EQ(a->Flush(), qz::kResultFileChanged);
            EXPECT_TRUE(ReadFile(cw::MediaIndexPath(root)) == before);
        },
        [](const std::string& root) {  // a stale second object after the first removed a clip
            CUSharedPtr<CFBCContent> first = Open(root), stale = Open(root);
            first->GetMIFStream()->SetClipArray(ClipsOf(*first, {0, 1}));
            ASSERT_EQ(first->Flush(), 0u);
            stale->SetValueForTag(qz::CUNumber::Create<uint8_t>(1), qz::kContentValueFrameRateType);
            EXPECT_EQ(stale->Flush(), qz::kResultFileChanged);
            EXPECT_EQ(Open(root)->GetClipCnt(), 2u);
        },
        [](const std::string& root) {  // a rewrite within the second of the opening
            const std::string index = cw::MediaIndexPath(root);
            const auto second =
                std::chrono::time_point_cast<std::chrono::seconds>(std::filesystem::last_write_time(index));
            std::filesystem::last_write_time(index, second + std::chrono::nanoseconds(100));
            CUSharedPtr<CFBCContent> a = Open(root);
            cw::WriteCard(SmallCard(2), root);
            std::filesystem::last_write_time(index, second + std::chrono::nanoseconds(200));
            EXPECT_TRUE(a->isMidifyFromOther());
        },
        [](const std::string& root) {  // a null clip array is not an empty one
            CUSharedPtr<CFBCContent> a = Open(root);
            a->GetMIFStream()->SetClipArray(nullptr);
            EXPECT_EQ(a->Flush(), 0u);
            EXPECT_EQ(Open(root)->GetClipCnt(), 3u);
        },
        [](const std::string& root) {  // what a writer that died mid-write left beside the index
            const pid_t dead = ::fork();
            if (dead == 0) ::_exit(0);
            ::waitpid(dead, nullptr, 0);
            const std::string partial = cw::ClipsFolderPath(root) + "/.INDEX.MIF.";
            ASSERT_TRUE(WriteFile(partial + std::to_string(dead) + ".0.partial", {1}));
            ASSERT_TRUE(WriteFile(partial + std::to_string(::getpid()) + ".0.partial", {2}));
            CUSharedPtr<CFBCContent> a = Open(root);
            a->SetValueForTag(qz::CUNumber::Create<uint8_t>(1), qz::kContentValueFrameRateType);
            ASSERT_EQ(a->Flush(), 0u);
            EXPECT_FALSE(std::filesystem::exists(partial + std::to_string(dead) + ".0.partial"));
            EXPECT_TRUE(std::filesystem::exists(partial + std::to_string(::getpid()) + ".0.partial"));
        },
        [](const std::string& root) {  // a file system that refuses readers the lock
            g_refuseLocks = true;
            CUSharedPtr<CFBCContent> a = Open(root);
            g_refuseLocks = false;
            ASSERT_TRUE(a);
            EXPECT_EQ(a->GetClipCnt(), 3u);
        },
        [](const std::string& root) {  // clips the content drops may outlive it
            CUSharedPtr<CFBCContent> a = Open(root);
            std::vector<CUSharedPtr<CFBCClip>> kept = {ClipAt(*a, 0), ClipAt(*a, 2)};
            a->GetMIFStream()->SetClipArray(ClipsOf(*a, {0, 1}));
            ASSERT_EQ(a->Flush(), 0u);
            EXPECT_EQ(kept[1]->GetMedia(), nullptr);
            EXPECT_EQ(kept[0]->GetMedia(), a.get());
            a->UnlockMedia();
            EXPECT_EQ(kept[0]->GetMedia(), nullptr);
        },
        [](const std::string&) {  // two processes creating a card in one empty folder at once
            for (int round = 0; round < 5; ++round) {
                ScratchFolder empty;
                int go[2], made = 0, status = 0;
                ASSERT_EQ(::pipe(go), 0);
                std::vector<pid_t> children;
                for (int k = 0; k < 2; ++k)
                    if (children.emplace_back(::fork()) == 0) {
                        char start = 0;
                        ::_exit(::read(go[0], &start, 1) == 1 && NewMedia(empty.Path(), nullptr, 1) ? 1 : 0);
                    }
                ASSERT_EQ(::write(go[1], "go", 2), 2);
                for (pid_t child : children)
                    made += ::waitpid(child, &status, 0) == child && WEXITSTATUS(status);
                ::close(go[0]), ::close(go[1]);
                EXPECT_EQ(made, 1) << "round " << round;
            }
        },
    };
    for (const auto& run : cases) {
        SCOPED_TRACE(&run - cases);
        ScratchFolder card;
        cw::WriteCard(SmallCard(3, 6, false), card.Path());
        run(card.Path());
    }
}

}  // namespace
