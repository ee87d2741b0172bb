// The 12-byte clip identifier record (validity rules, texts, setters), the
// cursor's table reader, and the names of a clip's member files.
#include "CUMutableArray.h"
#include "FBC_Utl_ClipMemberFilePath.h"
#include "FBC_Utl_File.h"
#include "MemberStreamInfo.h"
#include "MetaDataManager.h"

#include "CardTestSupport.h"

using namespace ComVantoVantoQZ64RADPlug;
using namespace card_test;
namespace CW = ComVantoVantoQZ64RADPlug::CardWriter;

TEST(ClipIDInfoTest, RecordGivesIdentifierTexts) {
    const std::array<unsigned char, 12> bytes = {0x41, 0x42, 0x00, 0x00, 0x00, 0x00,
                                                 0x00, 0x0C, 0x9A, 0xBC, 0xDE, 0xF0};
    CUSharedPtr<ClipIDInfo> id = ClipIDInfo::Create(bytes.data());
    ASSERT_TRUE(id);
    EXPECT_EQ(id->ClipNumber(), 12u);
    EXPECT_EQ(Text(id->ClipIDString()), "AB0012");
    EXPECT_EQ(Text(id->UserID()), "AB");
    EXPECT_EQ(Text(id->Description()), "AB0012");
    // The bytes that are not interpreted are kept as read.
    EXPECT_EQ(std::vector<unsigned char>(id->Bytes(), id->Bytes() + 12),
              std::vector<unsigned char>(bytes.begin(), bytes.end()));
}

TEST(ClipIDInfoTest, ValidityBoundaries) {
    EXPECT_FALSE(ClipIDInfo::Create(nullptr));
    for (uint32_t number : {0u, 10000u, 0xFFFFFFFFu})
        EXPECT_FALSE(ClipIDInfo::Create(CW::ClipIdRecord({"AB", number}).data())) << number;
    EXPECT_TRUE(ClipIDInfo::Create(CW::ClipIdRecord({"AB", 1}).data()));
    EXPECT_EQ(Text(ClipIDInfo::Create(CW::ClipIdRecord({"AB", 9999}).data())->ClipIDString()), "AB9999");

    for (unsigned char c :
         {':', '"', '*', '/', '<', '>', '?', '\\', '|', '\x7F', '\x1F', '\0', '\x80', '\xFF'}) {
        EXPECT_FALSE(ClipIDInfo::Create(CW::ClipIdRecord({{char(c), 'B'}, 1}).data())) << int(c);
        EXPECT_FALSE(ClipIDInfo::Create(CW::ClipIdRecord({{'A', char(c)}, 1}).data())) << int(c);
    }
    // Every other printable character is allowed, the blank and '~' included.
    EXPECT_EQ(Text(ClipIDInfo::Create(CW::ClipIdRecord({" ~", 7}).data())->ClipIDString()), " ~0007");
    int valid = 0;
    for (int c = 0; c < 256; ++c) valid += ClipIDInfo::IsValidUserIDCharacter(static_cast<unsigned char>(c));
    EXPECT_EQ(valid, 95 - 9);
}

TEST(ClipIDInfoTest, SettersKeepTheRecordValid) {
    CUSharedPtr<ClipIDInfo> id = ClipIDInfo::Create(CW::ClipIdRecord({"QZ", 1}).data());
    ASSERT_TRUE(id);
    CUSharedPtr<ClipIDInfo> copy = id->Copy();

    EXPECT_EQ(id->SetClipNumber(0), kResultNullArgument);
    EXPECT_EQ(id->SetClipNumber(10000), kResultNullArgument);
    EXPECT_EQ(id->SetClipNumber(9999), 0u);
    EXPECT_EQ(id->ClipNumber(), 9999u);

    for (const char* bad : {"A", "ABC", "", "A:", "A\x7F", "\xC3\xA9"})
        EXPECT_EQ(id->SetUserID(Str(bad)), kResultNullArgument) << bad;
    EXPECT_EQ(id->SetUserID(CUSharedPtr<CUStringMac>()), kResultNullArgument);
    EXPECT_EQ(Text(id->ClipIDString()), "QZ9999");
    EXPECT_EQ(id->SetUserID(Str("x-")), 0u);
    EXPECT_EQ(Text(id->ClipIDString()), "x-9999");
    EXPECT_TRUE(ClipIDInfo::IsValidRecord(id->Bytes()));

    // The copy is independent.
    EXPECT_EQ(Text(copy->ClipIDString()), "QZ0001");
}

TEST(ClipIDInfoTest, WrittenRecordsAndIndexTable) {
    CW::CardDescription card;
    for (uint32_t n : {1u, 42u, 9999u}) {
        CW::ClipDescription clip;
        clip.id = {"K7", n};
        card.clips.push_back(clip);
        const auto record = CW::ClipIdRecord(clip.id);
        CUSharedPtr<ClipIDInfo> id = ClipIDInfo::Create(record.data());
        ASSERT_TRUE(id);
        EXPECT_EQ(Text(id->ClipIDString()), CW::ClipIdText(clip.id));
    }
    const std::vector<uint8_t> index = CW::BuildMediaIndex(card);
    CUSharedPtr<MetaDataManager> cursor = MetaDataManager::Create(Memory(index));
    ASSERT_TRUE(cursor->SetOffset(12, kCUStreamSeekBegin));
    CUSharedPtr<CUMutableArray> ids = cursor->GetClipIDInfoArray(3);
    ASSERT_TRUE(ids);
    ASSERT_EQ(ids->Count(), 3u);
    EXPECT_EQ(Text(CUDynamicCast<ClipIDInfo>(ids->ObjectAtIndex(1))->ClipIDString()), "K70042");
    EXPECT_EQ(cursor->offset(), 12u + 36);

    // The fourth slot is empty (clip number 0): the whole table is refused
    // and the cursor stays.
    ASSERT_TRUE(cursor->SetOffset(12, kCUStreamSeekBegin));
    EXPECT_FALSE(cursor->GetClipIDInfoArray(4));
    EXPECT_EQ(cursor->offset(), 12u);
    EXPECT_FALSE(cursor->GetClipIDInfo() && cursor->GetClipIDInfo() && cursor->GetClipIDInfo() &&
                 cursor->GetClipIDInfo());
    // A count whose records run past the end is refused before reading.
    ASSERT_TRUE(cursor->SetOffset(static_cast<int64_t>(index.size()) - 24, kCUStreamSeekBegin));
    EXPECT_FALSE(cursor->GetClipIDInfoArray(3));
    EXPECT_FALSE(cursor->GetClipIDInfoArray(0xFFFFFFFFu));
    CUSharedPtr<CUMutableArray> none = cursor->GetClipIDInfoArray(0);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Count(), 0u);
}

TEST(ClipIDInfoTest, MemberFilePaths) {
    CUSharedPtr<CUStringMac> folder = Str("/card/CONTENTS/CLIPS001/AB0012");
    CUSharedPtr<CUStringMac> id = Str("AB0012");
    EXPECT_EQ(Text(FBC_Utl_MakeClipMemberFilePath(folder, CFBCClip_MXFFileNameFormat, id, 1)),
              "/card/CONTENTS/CLIPS001/AB0012/AB001201.MXF");
    EXPECT_EQ(Text(FBC_Utl_MakeClipMemberFilePath(folder, CFBCClip_MXFFileNameFormat, id, 99)),
              "/card/CONTENTS/CLIPS001/AB0012/AB001299.MXF");
    EXPECT_EQ(Text(FBC_Utl_MakeClipMemberFilePath(folder, CFBCClip_SIFFileNameFormat, id, 7)),
              "/card/CONTENTS/CLIPS001/AB0012/AB001207.SIF");
    for (uint32_t n : {0u, 100u, 0xFFFFFFFFu})
        EXPECT_FALSE(FBC_Utl_MakeClipMemberFilePath(folder, CFBCClip_MXFFileNameFormat, id, n)) << n;
    EXPECT_FALSE(
        FBC_Utl_MakeClipMemberFilePath(CUSharedPtr<CUStringMac>(), CFBCClip_MXFFileNameFormat, id, 1));
    EXPECT_FALSE(FBC_Utl_MakeClipMemberFilePath(folder, nullptr, id, 1));
    EXPECT_FALSE(
        FBC_Utl_MakeClipMemberFilePath(folder, CFBCClip_MXFFileNameFormat, CUSharedPtr<CUStringMac>(), 1));
    // Formats that do not take a text and a number are refused.
    for (const char* format : {"%s%s", "%d%s", "%s", "%s%02d%s", "%s%n", "%s%02ld", "%s%0100d", "plain"})
        EXPECT_FALSE(FBC_Utl_MakeClipMemberFilePath(folder, format, id, 1)) << format;
    EXPECT_EQ(Text(FBC_Utl_MakeClipMemberFilePath(folder, "%%%s_%3d", id, 5)),
              "/card/CONTENTS/CLIPS001/AB0012/%AB0012_  5");

    CUSharedPtr<CUMutableArray> members = CUMutableArray::Create();
    members->AddObject(MemberStreamInfo::Create(1, 10));
    members->AddObject(MemberStreamInfo::Create(0, 10));  // no file can carry number 0
    members->AddObject(Str("not a member"));
    members->AddObject(CUSharedPtr<CUObject>());
    members->AddObject(MemberStreamInfo::Create(12, 10));
    CUSharedPtr<CUArray> paths =
        FBC_Utl_MakeClipMemberFilePathsFromMemberStreamInfo(folder, CFBCClip_MXFFileNameFormat, id, members);
    ASSERT_TRUE(paths);
    ASSERT_EQ(paths->Count(), 5u);
    EXPECT_EQ(Text(CUDynamicCast<CUStringMac>(paths->ObjectAtIndex(0))),
              "/card/CONTENTS/CLIPS001/AB0012/AB001201.MXF");
    EXPECT_FALSE(paths->ObjectAtIndex(1));
    EXPECT_FALSE(paths->ObjectAtIndex(2));
    EXPECT_FALSE(paths->ObjectAtIndex(3));
    EXPECT_EQ(Text(CUDynamicCast<CUStringMac>(paths->ObjectAtIndex(4))),
              "/card/CONTENTS/CLIPS001/AB0012/AB001212.MXF");
    EXPECT_FALSE(FBC_Utl_MakeClipMemberFilePathsFromMemberStreamInfo(folder, CFBCClip_MXFFileNameFormat, id,
                                                                     CUSharedPtr<CUArray>()));
}
