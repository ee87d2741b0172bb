// Checks the MXF files the card writer produces: their partition, header
// metadata and index structure with the tests' own KLV walker (not the
// writer's layout code), and their essence against ffprobe/ffmpeg.
#include "AudioFramePattern.h"
#include "CardTestSupport.h"
#include "MxfFileWriter.h"
#include "MxfKlvWalk.h"
#include "ToneGenerator.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

namespace ComVantoVantoQZ64RADPlug::CardWriter {
namespace {

using namespace cardwriter_test;
using namespace mxftest;

std::string Tmp(const ScratchFolder& folder, const std::string& name) {
    return folder.Path() + "/" + name;
}

MxfFileDescription Small(int num, int den, bool interlaced, int width, int height, uint32_t frames) {
    MxfFileDescription d;
    // Top field first, CBR, closed GOPs of 15 with 2 B pictures: the defaults.
    d.video = {width, height, num, den, interlaced, true, 25000000, true, 15, 2, true};
    d.frameCount = frames;
    return d;
}

// The 16 bytes at `at`: a key, label or reference.
Key16 KeyIn(const std::vector<uint8_t>& f, uint64_t at) {
    Key16 k{};
    std::copy_n(f.begin() + static_cast<long>(at), 16, k.begin());
    return k;
}

MxfUmid TestUmid(uint8_t seed) {
    MxfUmid u = {0x06, 0x0A, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05,
                 0x01, 0x01, 0x0D, 0x20, 0x13, 0x00, 0x00, 0x00};
    for (int i = 16; i < 32; ++i) u[i] = static_cast<uint8_t>(seed + i);
    return u;
}

TEST(MxfFileWriterTest, ThreeHundredFrame5994iFileHasTheCameraStructure) {
    ScratchFolder folder;
    MxfFileDescription d;  // 1920x1080 59.94i, 50 Mbps, 4 channels
    d.frameCount = 300;
    d.startTimecode = 107892;  // 01:00:00;00 drop frame
    d.dropFrame = true;
    d.roundedTimecodeBase = 30;
    d.materialPackageUmid = TestUmid(1);
    d.filePackageUmid = TestUmid(2);
    d.relayPackageUmid = TestUmid(3);
    d.firstFrame = 0;
    const std::string path = Tmp(folder, "A.MXF");
    const MxfFileLayout layout = WriteMxfFile(d, path);
    const ParsedFile pf = Parse(path);
    const auto& f = pf.bytes;
    ASSERT_EQ(layout.fileSize, f.size());

    // Partitions: header at 0 (closed complete), bodies with BodySID 2, footer; a linked chain.
    ASSERT_GE(pf.partitions.size(), 4u);
    const Partition& header = pf.partitions.front();
    const Partition& footer = pf.partitions.back();
    EXPECT_EQ(header.klv.offset, 0u);
    EXPECT_EQ(header.kind, 2);
    EXPECT_EQ(header.klv.key[14], 0x04);
    EXPECT_EQ(header.kag, 512u);
    EXPECT_EQ(header.bodySid, 0u);
    EXPECT_GT(header.headerBytes, 0u);
    EXPECT_EQ(footer.kind, 4);
    EXPECT_EQ(header.footer, footer.klv.offset);
    EXPECT_EQ(layout.footerPartition, footer.klv.offset);
    std::vector<uint64_t> bodies;
    for (size_t i = 0; i < pf.partitions.size(); ++i) {
        const Partition& p = pf.partitions[i];
        EXPECT_EQ(p.thisPartition, p.klv.offset);
        EXPECT_EQ(p.footer, footer.klv.offset);
        EXPECT_EQ(p.previous, i == 0 ? 0 : pf.partitions[i - 1].klv.offset);
        // The header metadata / index starts one KAG after each pack.
        Klv next;
        ASSERT_TRUE(ReadKlv(f, p.klv.End(), next));
        EXPECT_TRUE(IsFill(next.key));
        EXPECT_EQ(next.End(), p.klv.offset + p.kag);
        if (p.kind == 3) {
            EXPECT_EQ(p.bodySid, 2u);
            EXPECT_EQ(p.indexBytes == 0, bodies.empty()) << "only the first body partition has no index";
            if (p.indexBytes) {
                EXPECT_EQ(p.indexSid, 1u);
            }
            bodies.push_back(p.klv.offset);
        }
    }
    EXPECT_EQ(bodies, layout.bodyPartitions);
    EXPECT_GE(bodies.size(), 3u);
    EXPECT_GT(footer.indexBytes, 0u);
    EXPECT_EQ(footer.bodySid, 0u);

    // Random index pack at the end lists every partition.
    const uint32_t ripLength = static_cast<uint32_t>(BE(f, f.size() - 4, 4));
    Klv rip;
    ASSERT_TRUE(ReadKlv(f, f.size() - ripLength, rip));
    EXPECT_EQ(rip.key, kRandomIndexKey);
    EXPECT_EQ(rip.End(), f.size());
    ASSERT_EQ((rip.length - 4) % 12, 0u);
    std::vector<std::pair<uint32_t, uint64_t>> ripEntries;
    for (uint64_t p = rip.valueOffset; p + 12 <= rip.End(); p += 12)
        ripEntries.emplace_back(static_cast<uint32_t>(BE(f, p, 4)), BE(f, p + 4, 8));
    ASSERT_EQ(ripEntries.size(), pf.partitions.size());
    for (size_t i = 0; i < ripEntries.size(); ++i) {
        EXPECT_EQ(ripEntries[i].second, pf.partitions[i].klv.offset);
        EXPECT_EQ(ripEntries[i].first, pf.partitions[i].bodySid);
    }

    // Sequence information at its fixed offset for 1080-line files.
    Klv info;
    ASSERT_TRUE(ReadKlv(f, 6724, info));
    EXPECT_EQ(layout.sequenceInfo, 6724u);
    EXPECT_EQ(info.key, kSequenceInfoKey);
    EXPECT_LT(info.End(), header.Content());
    auto items = Items(f, info);
    ASSERT_EQ(items.count(0x4401), 1u);
    EXPECT_EQ(items[0x4401].second, 32u);
    EXPECT_EQ(Slice(f, items[0x4401].first, 32), VectorOf(d.relayPackageUmid));
    EXPECT_EQ(BE(f, items[0x1201].first, 8), 0u);
    EXPECT_EQ(BE(f, items[0x1501].first, 8), 107892u);
    EXPECT_EQ(items[0x3C0A].second, 16u);

    // Essence only inside body partitions; 300 content packages of system
    // item, picture and four sound elements.
    size_t packs = 0, pictures = 0, sounds = 0;
    std::vector<uint32_t> timeAddresses;
    const Partition* current = nullptr;
    for (const Klv& k : pf.klvs) {
        if (PartitionKind(k.key)) {
            current = &*std::find_if(pf.partitions.begin(), pf.partitions.end(),
                                     [&](const Partition& p) { return p.klv.offset == k.offset; });
            continue;
        }
        const bool essence = IsSystemPack(k.key) || IsPicture(k.key) || IsSound(k.key);
        if (!essence) continue;
        ASSERT_NE(current, nullptr);
        EXPECT_EQ(current->kind, 3);
        EXPECT_GE(k.offset, current->Content());
        // The system item's SMPTE 12M time address (BCD frames, seconds,
        // minutes, hours; 0x40 marks drop frame) follows its 41-byte head.
        if (IsSystemPack(k.key)) timeAddresses.push_back(static_cast<uint32_t>(BE(f, k.valueOffset + 41, 4)));
        packs += IsSystemPack(k.key);
        pictures += IsPicture(k.key);
        sounds += IsSound(k.key);
        if (IsSound(k.key)) {
            EXPECT_EQ(k.key[13], 4);     // four elements in the sound item
            EXPECT_EQ(k.key[14], 0x03);  // AES3 frame-wrapped
        }
    }
    EXPECT_EQ(packs, 300u);
    EXPECT_EQ(pictures, 300u);
    EXPECT_EQ(sounds, 1200u);
    ASSERT_EQ(timeAddresses.size(), 300u);
    EXPECT_EQ(timeAddresses[0], 0x40000001u);    // 01:00:00;00
    EXPECT_EQ(timeAddresses[299], 0x69090001u);  // 01:00:09;29

    // Header metadata: sets by instance UID, the primer's dynamic tags.
    std::map<Key16, Klv> sets;
    std::map<Key16, uint16_t> primer;
    const Klv* preface = nullptr;
    for (const Klv& k : pf.klvs) {
        if (k.offset >= header.Content()) break;
        if (k.key == kPrimerKey) {
            EXPECT_EQ(k.offset, 512u) << "primer first in the header metadata";
            const uint64_t n = BE(f, k.valueOffset, 4);
            ASSERT_EQ(BE(f, k.valueOffset + 4, 4), 18u);
            for (uint64_t i = 0; i < n; ++i) {
                const uint64_t at = k.valueOffset + 8 + 18 * i;
                primer[KeyIn(f, at + 2)] = static_cast<uint16_t>(BE(f, at, 2));
            }
        }
        if (KeyStarts(k.key,
                      {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x01, 0x01, 0x01, 0x01})) {
            auto it = Items(f, k);
            ASSERT_EQ(it.count(0x3C0A), 1u);
            const Key16 uid = KeyIn(f, it[0x3C0A].first);
            EXPECT_TRUE(sets.emplace(uid, k).second) << "instance UIDs are unique";
            if (IsSet(k.key, 0x2F)) preface = &sets[uid];
        }
    }
    ASSERT_NE(preface, nullptr);
    auto refs = [&](const Klv& set, uint16_t tag) {
        auto it = Items(f, set);
        std::vector<Key16> out;
        if (!it.count(tag)) return out;
        const uint64_t at = it[tag].first;
        const uint64_t n = BE(f, at, 4);
        EXPECT_EQ(BE(f, at + 4, 4), 16u);
        for (uint64_t i = 0; i < n; ++i) out.push_back(KeyIn(f, at + 8 + 16 * i));
        return out;
    };
    auto ref = [&](const Klv& set, uint16_t tag) {
        auto it = Items(f, set);
        return it.count(tag) && it[tag].second == 16 ? KeyIn(f, it[tag].first) : Key16{};
    };
    auto value = [&](const Klv& set, uint16_t tag, int width) -> uint64_t {
        auto it = Items(f, set);
        if (!it.count(tag) || it[tag].second != static_cast<uint64_t>(width)) return ~0ull;
        return BE(f, it[tag].first, width);
    };

    EXPECT_EQ(ref(*preface, 0x3B09), kOP1a);
    ASSERT_EQ(refs(*preface, 0x3B06).size(), 1u);
    const Klv& storage = sets.at(ref(*preface, 0x3B03));
    const auto packages = refs(storage, 0x1901);
    ASSERT_EQ(packages.size(), 2u);
    const Klv& material = sets.at(packages[0]);
    const Klv& filePackage = sets.at(packages[1]);
    ASSERT_TRUE(IsSet(material.key, 0x36));
    ASSERT_TRUE(IsSet(filePackage.key, 0x37));
    EXPECT_EQ(Slice(f, Items(f, material)[0x4401].first, 32), VectorOf(d.materialPackageUmid));
    EXPECT_EQ(Slice(f, Items(f, filePackage)[0x4401].first, 32), VectorOf(d.filePackageUmid));

    // Material tracks: timecode, picture, then one sound track per channel.
    const auto tracks = refs(material, 0x4403);
    ASSERT_EQ(tracks.size(), 6u);
    const uint8_t expectedDefinition[] = {0x01, 0x02, 0x02, 0x02, 0x02, 0x02};
    const uint8_t expectedKind[] = {0x01, 0x01, 0x02, 0x02, 0x02, 0x02};
    for (size_t t = 0; t < tracks.size(); ++t) {
        const Klv& track = sets.at(tracks[t]);
        EXPECT_EQ(value(track, 0x4B01, 8), (uint64_t{30000} << 32) | 1001u);
        const Klv& sequence = sets.at(ref(track, 0x4803));
        const std::vector<uint8_t> definition = Slice(f, Items(f, sequence)[0x0201].first, 16);
        EXPECT_EQ(definition[11], expectedDefinition[t]) << "track " << t;
        EXPECT_EQ(definition[12], expectedKind[t]) << "track " << t;
        EXPECT_EQ(value(sequence, 0x0202, 8), 300u);
        const auto components = refs(sequence, 0x1001);
        ASSERT_EQ(components.size(), 1u);
        const Klv& component = sets.at(components[0]);
        if (t == 0) {
            ASSERT_TRUE(IsSet(component.key, 0x14));
            EXPECT_EQ(value(component, 0x1501, 8), 107892u);
            EXPECT_EQ(value(component, 0x1502, 2), 30u);
            EXPECT_EQ(value(component, 0x1503, 1), 1u);
        } else {
            ASSERT_TRUE(IsSet(component.key, 0x11));
            EXPECT_EQ(Slice(f, Items(f, component)[0x1101].first, 32), VectorOf(d.filePackageUmid));
            EXPECT_EQ(value(component, 0x1102, 4), value(track, 0x4801, 4));
        }
    }

    // File package: multiple descriptor with the MPEG descriptor and one sound
    // descriptor per channel, linked to the file package's track IDs.
    std::set<uint64_t> fileTrackIds;
    for (const Key16& t : refs(filePackage, 0x4403)) fileTrackIds.insert(value(sets.at(t), 0x4801, 4));
    const Klv& multiple = sets.at(ref(filePackage, 0x4701));
    ASSERT_TRUE(IsSet(multiple.key, 0x44));
    const auto subs = refs(multiple, 0x3F01);
    ASSERT_EQ(subs.size(), 5u);
    const Klv& mpeg = sets.at(subs[0]);
    ASSERT_TRUE(IsSet(mpeg.key, 0x51));
    EXPECT_TRUE(fileTrackIds.count(value(mpeg, 0x3006, 4)));
    EXPECT_EQ(value(mpeg, 0x320C, 1), 1u);  // separate fields
    EXPECT_EQ(value(mpeg, 0x3209, 4), 1920u);
    EXPECT_EQ(value(mpeg, 0x3208, 4), 540u);  // per field
    EXPECT_EQ(value(mpeg, 0x3202, 4), 544u);
    EXPECT_EQ(value(mpeg, 0x320E, 8), (uint64_t{16} << 32) | 9u);
    auto mpegItem = [&](uint8_t item, int width) {
        const Key16 label = {0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x05,
                             0x04, 0x01, 0x06, 0x02, 0x01, item, 0x00, 0x00};
        EXPECT_TRUE(primer.count(label)) << "MPEG item " << int(item) << " missing from the primer";
        return primer.count(label) ? value(mpeg, primer[label], width) : ~0ull;
    };
    EXPECT_EQ(mpegItem(0x0A, 1), 0x82u);  // 4:2:2 @ high level
    EXPECT_EQ(mpegItem(0x0B, 4), 50000000u);
    EXPECT_EQ(mpegItem(0x08, 2), 15u);
    EXPECT_EQ(mpegItem(0x09, 2), 2u);
    EXPECT_EQ(mpegItem(0x04, 1), 2u);  // interlaced coding
    std::set<uint64_t> soundLinks;
    for (size_t i = 1; i < subs.size(); ++i) {
        const Klv& sound = sets.at(subs[i]);
        EXPECT_TRUE(IsSet(sound.key, 0x47) || IsSet(sound.key, 0x48));
        EXPECT_EQ(value(sound, 0x3D01, 4), 16u);
        EXPECT_EQ(value(sound, 0x3D03, 8), (uint64_t{48000} << 32) | 1u);
        EXPECT_EQ(value(sound, 0x3D07, 4), 1u);
        soundLinks.insert(value(sound, 0x3006, 4));
    }
    EXPECT_EQ(soundLinks.size(), 4u);
    for (uint64_t id : soundLinks) EXPECT_TRUE(fileTrackIds.count(id));

    // Essence container data links the file package to body SID 2 / index SID 1.
    const auto ecd = refs(storage, 0x1902);
    ASSERT_EQ(ecd.size(), 1u);
    EXPECT_EQ(Slice(f, Items(f, sets.at(ecd[0]))[0x2701].first, 32), VectorOf(d.filePackageUmid));
    EXPECT_EQ(value(sets.at(ecd[0]), 0x3F07, 4), 2u);
    EXPECT_EQ(value(sets.at(ecd[0]), 0x3F06, 4), 1u);
}

// ---------------------------------------------------------------------------
// Index tables against the essence they describe.

struct Segment {
    int64_t start = 0, duration = 0;
    uint8_t sliceCount = 0;
    uint32_t entryLength = 0;
    std::vector<std::tuple<int8_t, uint8_t, uint32_t>> deltas;
    uint64_t entries = 0;  // file offset of the first entry
};

Segment ReadSegment(const std::vector<uint8_t>& f, const Klv& klv) {
    Segment s;
    auto it = Items(f, klv);
    s.start = static_cast<int64_t>(BE(f, it.at(0x3F0C).first, 8));
    s.duration = static_cast<int64_t>(BE(f, it.at(0x3F0D).first, 8));
    s.sliceCount = static_cast<uint8_t>(BE(f, it.at(0x3F08).first, 1));
    EXPECT_EQ(BE(f, it.at(0x3F05).first, 4), 0u);
    const uint64_t d = it.at(0x3F09).first;
    const uint64_t n = BE(f, d, 4);
    EXPECT_EQ(BE(f, d + 4, 4), 6u);
    for (uint64_t i = 0; i < n; ++i)
        s.deltas.emplace_back(static_cast<int8_t>(f[d + 8 + 6 * i]), f[d + 9 + 6 * i],
                              static_cast<uint32_t>(BE(f, d + 10 + 6 * i, 4)));
    const uint64_t e = it.at(0x3F0A).first;
    EXPECT_EQ(BE(f, e, 4), static_cast<uint64_t>(s.duration));
    s.entryLength = static_cast<uint32_t>(BE(f, e + 4, 4));
    EXPECT_EQ(it.at(0x3F0A).second, 8 + s.entryLength * static_cast<uint64_t>(s.duration));
    s.entries = e + 8;
    return s;
}

// MPEG-2 picture_coding_type (1 I, 2 P, 3 B) and temporal_reference of a
// picture element, and whether it opens a GOP.
struct PictureHeader {
    int type = 0;
    int temporalReference = -1;
    bool gop = false;
};
PictureHeader ReadPictureHeader(const std::vector<uint8_t>& f, const Klv& picture) {
    PictureHeader h;
    for (uint64_t p = picture.valueOffset; p + 6 < picture.End(); ++p) {
        if (f[p] != 0 || f[p + 1] != 0 || f[p + 2] != 1) continue;
        if (f[p + 3] == 0xB8) h.gop = true;
        if (f[p + 3] == 0x00) {
            h.temporalReference = static_cast<int>((f[p + 4] << 2) | (f[p + 5] >> 6));
            h.type = (f[p + 5] >> 3) & 7;
            break;
        }
    }
    return h;
}

void CheckIndexAgainstEssence(const MxfFileDescription& d, const std::string& path) {
    const ParsedFile pf = Parse(path);
    const auto& f = pf.bytes;
    std::vector<const Partition*> bodies;
    for (const Partition& p : pf.partitions)
        if (p.kind == 3) bodies.push_back(&p);
    ASSERT_FALSE(bodies.empty());

    // Stored order: picture header facts per edit unit, from the essence.
    std::vector<PictureHeader> stored;
    std::vector<int64_t> displayOf;
    std::vector<Segment> segments;  // the index of each body partition
    int64_t gopStart = 0;
    int64_t editUnit = 0;
    for (size_t b = 0; b < bodies.size(); ++b) {
        const Partition& body = *bodies[b];
        const Partition& next =
            *std::find_if(pf.partitions.begin(), pf.partitions.end(),
                          [&](const Partition& p) { return p.klv.offset > body.klv.offset; });
        // The partition after this one holds its index; take its last segment.
        const Segment* last = nullptr;
        Segment segment;
        for (uint64_t at = next.thisPartition + next.kag;
             at < next.thisPartition + next.kag + next.indexBytes;) {
            Klv k;
            ASSERT_TRUE(ReadKlv(f, at, k));
            if (IsIndexSegment(k.key)) {
                segment = ReadSegment(f, k);
                last = &segment;
            }
            at = k.End();
        }
        ASSERT_NE(last, nullptr) << "no index for body partition " << b;
        segments.push_back(segment);
        EXPECT_EQ(segment.start, editUnit);
        ASSERT_EQ(segment.deltas.size(), 2u + d.audioChannels);
        EXPECT_EQ(segment.entryLength, 11u + 4u * segment.sliceCount);

        for (int64_t e = 0; e < segment.duration; ++e, ++editUnit) {
            const uint64_t entry = segment.entries + static_cast<uint64_t>(e) * segment.entryLength;
            const uint64_t streamOffset = BE(f, entry + 3, 8);
            const uint64_t cp = body.Content() - body.bodyOffset + streamOffset;
            ASSERT_TRUE(IsSystemPack(KeyAt(f, cp))) << "edit unit " << editUnit;
            Klv pack;
            ASSERT_TRUE(ReadKlv(f, cp, pack));
            EXPECT_TRUE(IsPackageMetadata(KeyAt(f, pack.End())));
            for (size_t k = 0; k < segment.deltas.size(); ++k) {
                const auto [pos, slice, delta] = segment.deltas[k];
                const uint64_t sliceOffset = slice == 0 ? 0 : BE(f, entry + 11 + 4 * (slice - 1u), 4);
                const Key16 key = KeyAt(f, cp + sliceOffset + delta);
                if (k == 0) {
                    EXPECT_TRUE(IsSystemPack(key));
                } else if (k == 1) {
                    ASSERT_TRUE(IsPicture(key)) << "edit unit " << editUnit;
                    EXPECT_EQ(pos, d.video.bPictures > 0 ? -1 : 0);
                    Klv picture;
                    ASSERT_TRUE(ReadKlv(f, cp + sliceOffset + delta, picture));
                    const PictureHeader h = ReadPictureHeader(f, picture);
                    if (h.gop) gopStart = static_cast<int64_t>(stored.size());
                    stored.push_back(h);
                    displayOf.push_back(gopStart + h.temporalReference);
                } else {
                    EXPECT_TRUE(IsSound(key) && key[15] == k - 1)
                        << "edit unit " << editUnit << " element " << k;
                }
            }
            // Flags agree with the coded picture type.
            const uint8_t flags = f[entry + 2];
            const int type = stored.back().type;
            // I: no prediction bits; P: forward only; B: backward (leading B
            // pictures of a closed GOP backward only).
            if (type == 3) {
                EXPECT_TRUE(flags & 0x10) << "edit unit " << editUnit;
            } else {
                EXPECT_EQ(flags & 0x30, type == 1 ? 0x00 : 0x20) << "edit unit " << editUnit;
            }
            if (type == 1) {
                EXPECT_TRUE(flags & 0x40) << "I pictures carry a sequence header";
            }
        }
    }
    ASSERT_EQ(editUnit, static_cast<int64_t>(d.frameCount));

    // Temporal and key-frame offsets, read back through the segments.
    std::vector<int64_t> storedAt(displayOf.size());
    for (size_t s = 0; s < displayOf.size(); ++s) {
        ASSERT_GE(displayOf[s], 0);
        ASSERT_LT(displayOf[s], static_cast<int64_t>(displayOf.size()));
        storedAt[static_cast<size_t>(displayOf[s])] = static_cast<int64_t>(s);
    }
    editUnit = 0;
    for (const Segment& segment : segments) {
        for (int64_t e = 0; e < segment.duration; ++e, ++editUnit) {
            const uint64_t entry = segment.entries + static_cast<uint64_t>(e) * segment.entryLength;
            const int8_t temporal = static_cast<int8_t>(f[entry]);
            const int8_t keyOffset = static_cast<int8_t>(f[entry + 1]);
            EXPECT_EQ(editUnit + temporal, storedAt[static_cast<size_t>(editUnit)])
                << "display position " << editUnit;
            const int64_t key = editUnit + keyOffset;
            ASSERT_GE(key, 0);
            EXPECT_EQ(stored[static_cast<size_t>(key)].type, 1) << "key frame of " << editUnit;
            for (int64_t s = key + 1; s <= editUnit; ++s) EXPECT_NE(stored[static_cast<size_t>(s)].type, 1);
        }
    }
}

TEST(MxfFileWriterTest, IndexEntriesAndDeltasLandOnTheElementsTheyName) {
    ScratchFolder folder;
    auto check = [&](const char* name, const MxfFileDescription& d) {
        SCOPED_TRACE(name);
        WriteMxfFile(d, Tmp(folder, "i.mxf"));
        CheckIndexAgainstEssence(d, Tmp(folder, "i.mxf"));
    };
    MxfFileDescription d;  // 59.94i, 4 channels of 1602/1601 samples, closed GOPs
    d.frameCount = 95;
    d.firstFrame = 3;
    d.video.bitRate = 25000000;
    d.video.closedGop = true;
    check("59.94i closed GOP", d);
    // Open GOPs, partitions not aligned to GOPs, a short last GOP.
    d = Small(24000, 1001, false, 1440, 1080, 100);
    d.video.closedGop = false;
    d.audioChannels = 2;
    d.framesPerBodyPartition = 37;
    check("23.976p open GOP", d);
    d = Small(50, 1, false, 1280, 720, 40);
    d.audioChannels = 0;
    d.video.gopLength = 12;
    d.video.bPictures = 0;
    check("720/50p without audio or B pictures", d);
}

// ---------------------------------------------------------------------------
// Independent peers: ffprobe and ffmpeg.

struct RateCase {
    const char* name;
    int num, den;
    bool interlaced;
    int width, height;
    uint16_t base;
    bool dropFrame;
    const char* rate;
    const char* timecode;  // 01:00:00:00 in the file's timecode
};

std::string ProbeValue(const std::string& output, const std::string& key) {
    const auto at = output.find(key + "=");
    if (at == std::string::npos) return {};
    const auto end = output.find('\n', at);
    return output.substr(at + key.size() + 1, end - at - key.size() - 1);
}

class MxfFileWriterRateTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(MxfFileWriterRateTest, FfprobeAndFfmpegReadWhatIsWritten) {
    QZ_REQUIRE_TOOL("ffprobe");
    QZ_REQUIRE_TOOL("ffmpeg");
    const RateCase& c = GetParam();
    ScratchFolder folder;
    MxfFileDescription d = Small(c.num, c.den, c.interlaced, c.width, c.height, 18);
    d.audioChannels = 2;
    d.video.closedGop = !c.interlaced;  // the interlaced cases use open GOPs
    d.roundedTimecodeBase = c.base;
    d.dropFrame = c.dropFrame;
    // 01:00:00:00 as a frame count in the base.
    d.startTimecode = int64_t{3600} * c.base - (c.dropFrame ? 108 * (c.base / 30) : 0);
    const std::string path = Tmp(folder, "R.MXF");
    WriteMxfFile(d, path);

    const CommandResult probe =
        RunPeer("ffprobe -v error -count_frames -show_streams -show_format " + ShellQuote(path));
    ASSERT_EQ(probe.exitCode, 0) << probe.output;
    const std::string& out = probe.output;
    EXPECT_EQ(ProbeValue(out, "codec_name"), "mpeg2video");
    EXPECT_EQ(ProbeValue(out, "profile"), "4:2:2");
    EXPECT_EQ(ProbeValue(out, "width"), std::to_string(c.width));
    EXPECT_EQ(ProbeValue(out, "height"), std::to_string(c.height));
    EXPECT_EQ(ProbeValue(out, "r_frame_rate"), c.rate);
    EXPECT_EQ(ProbeValue(out, "field_order"), c.interlaced ? "tt" : "progressive");
    EXPECT_EQ(ProbeValue(out, "nb_read_frames"), "18");
    EXPECT_EQ(ProbeValue(out, "TAG:timecode"), c.timecode);
    // Two mono 16-bit 48 kHz tracks.
    const CommandResult audio = RunPeer(
        "ffprobe -v error -select_streams a -show_entries stream=codec_name,sample_rate,channels -of "
        "csv=p=0 " +
        ShellQuote(path));
    EXPECT_EQ(audio.output, "pcm_s16le,48000,1\npcm_s16le,48000,1\n");

    // Decoding reports nothing.
    const CommandResult decode = RunPeer("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -f null -");
    EXPECT_EQ(decode.exitCode, 0);
    EXPECT_EQ(decode.output, "");

    // The copied video stream is exactly the picture elements, in file order.
    const std::string es = Tmp(folder, "v.m2v");
    ASSERT_EQ(RunPeer("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                      " -map 0:v -c copy -f mpeg2video -y " + ShellQuote(es))
                  .exitCode,
              0);
    const ParsedFile pf = Parse(path);
    std::vector<uint8_t> pictures;
    for (const Klv& k : pf.klvs)
        if (IsPicture(k.key))
            pictures.insert(pictures.end(), pf.bytes.begin() + static_cast<long>(k.valueOffset),
                            pf.bytes.begin() + static_cast<long>(k.End()));
    EXPECT_TRUE(ReadFile(es) == pictures) << "stream copy differs from the picture elements";
}

INSTANTIATE_TEST_SUITE_P(
    Rates, MxfFileWriterRateTest,
    ::testing::Values(
        RateCase{"i5994", 30000, 1001, true, 1920, 1080, 30, true, "30000/1001", "01:00:00;00"},
        RateCase{"i50", 25, 1, true, 1920, 1080, 25, false, "25/1", "01:00:00:00"},
        RateCase{"p2997", 30000, 1001, false, 1920, 1080, 30, false, "30000/1001", "01:00:00:00"},
        RateCase{"p25", 25, 1, false, 1440, 1080, 25, false, "25/1", "01:00:00:00"},
        RateCase{"p23976", 24000, 1001, false, 1920, 1080, 24, false, "24000/1001", "01:00:00:00"},
        RateCase{"p24", 24, 1, false, 1920, 1080, 24, false, "24/1", "01:00:00:00"},
        RateCase{"p5994", 60000, 1001, false, 1280, 720, 60, true, "60000/1001", "01:00:00;00"},
        RateCase{"p50", 50, 1, false, 1280, 720, 50, false, "50/1", "01:00:00:00"}),
    [](const ::testing::TestParamInfo<RateCase>& rate) { return std::string(rate.param.name); });

TEST(MxfFileWriterTest, ExtractedAudioIsTheToneSampleForSample) {
    QZ_REQUIRE_TOOL("ffmpeg");
    ScratchFolder folder;
    // A second file of a spanned clip: the tone and the 1602/1601 pattern
    // continue from clip frame 7.
    MxfFileDescription d = Small(30000, 1001, true, 1920, 1080, 23);
    d.audioChannels = 2;
    d.firstFrame = 7;
    const std::string path = Tmp(folder, "S.MXF");
    WriteMxfFile(d, path);
    const int64_t first = AudioFramePattern::FirstSampleOfFrame(30000, 1001, 7);
    const int64_t count = AudioFramePattern::FirstSampleOfFrame(30000, 1001, 30) - first;
    for (int channel = 0; channel < 2; ++channel) {
        const std::string raw = Tmp(folder, "a" + std::to_string(channel) + ".raw");
        ASSERT_EQ(RunPeer("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
                          " -map 0:a:" + std::to_string(channel) + " -f s16le -y " + ShellQuote(raw))
                      .exitCode,
                  0);
        const std::vector<uint8_t> pcm = ReadFile(raw);
        ASSERT_EQ(pcm.size(), static_cast<size_t>(count) * 2);
        int mismatches = 0;
        for (int64_t i = 0; i < count; ++i) {
            const int16_t got = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
            if (got != ToneGenerator::Sample(channel, first + i, 16) && ++mismatches < 5)
                ADD_FAILURE() << "channel " << channel << " sample " << i;
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// ---------------------------------------------------------------------------

TEST(MxfFileWriterTest, FaultsBreakWhatTheySay) {
    ScratchFolder folder;
    const std::string path = Tmp(folder, "F.MXF");
    MxfFileDescription base = Small(25, 1, true, 1920, 1080, 30);
    base.audioChannels = 2;
    // Writes the base file with the faults `change` sets and reads it back.
    MxfFileLayout layout;
    auto faulty = [&](const std::function<void(MxfFaults&)>& change) {
        MxfFileDescription d = base;
        change(d.faults);
        layout = WriteMxfFile(d, path);
        return Parse(path);
    };
    ParsedFile pf = faulty([](auto& x) { x.omitRandomIndexPack = true; });
    EXPECT_EQ(layout.randomIndexPack, 0u);
    EXPECT_EQ(PartitionKind(pf.partitions.back().klv.key), 4);
    EXPECT_FALSE(
        std::equal(kRandomIndexKey.begin(), kRandomIndexKey.begin() + 14, pf.klvs.back().key.begin()));

    pf = faulty([](auto& x) { x.sequenceInfoOffsetShift = 40; });
    EXPECT_EQ(KeyAt(pf.bytes, 6724 + 40)[9], 0x15);
    EXPECT_NE(KeyAt(pf.bytes, 6724)[9], 0x15);
    pf = faulty([](auto& x) { x.sequenceInfoOffsetShift = 40, x.omitSequenceInfo = true; });
    EXPECT_EQ(layout.sequenceInfo, 0u);
    for (const Klv& k : pf.klvs) EXPECT_FALSE(k.key[8] == 0x0E && k.key[9] == 0x15);

    pf = faulty([](auto& x) { x.bodySid = 3, x.badIndexEntryLength = true; });
    for (const Partition& p : pf.partitions)
        if (p.kind == 3) {
            EXPECT_EQ(p.bodySid, 3u);
        }
    for (const Klv& k : pf.klvs)
        if (IsIndexSegment(k.key)) {
            EXPECT_EQ(ReadSegment(pf.bytes, k).entryLength, 16u);
        }

    pf = faulty([](auto& x) { x.omitIndexTables = true, x.omitTimecodeTrack = true; });
    for (const Partition& p : pf.partitions) EXPECT_EQ(p.indexBytes, 0u);
    for (const Klv& k : pf.klvs) {
        EXPECT_FALSE(IsIndexSegment(k.key));
        EXPECT_FALSE(IsSet(k.key, 0x14)) << "no timecode component";
    }

    pf = faulty([](auto& x) { x.omitPrimerMpegItems = true; });
    Klv primer;
    ASSERT_TRUE(ReadKlv(pf.bytes, 512, primer));
    for (uint64_t at = primer.valueOffset + 8; at + 18 <= primer.End(); at += 18)
        EXPECT_FALSE(pf.bytes[at + 2 + 8] == 0x04 && pf.bytes[at + 2 + 10] == 0x06 &&
                     pf.bytes[at + 2 + 11] == 0x02)
            << "MPEG item label in the primer";

    MxfFileDescription d = base;
    d.faults.truncateToBytes = 100000;
    EXPECT_EQ(WriteMxfFile(d, path).fileSize, 100000u);
    EXPECT_EQ(std::filesystem::file_size(path), 100000u);
}

TEST(MxfFileWriterTest, RefusesDescriptionsItCannotWrite) {
    ScratchFolder folder;
    const std::string path = Tmp(folder, "E.MXF");
    const std::function<void(MxfFileDescription&)> breaks[] = {
        [](auto& d) { d.frameCount = 0; }, [](auto& d) { d.audioBitsPerSample = 20; },
        [](auto& d) { d.dropFrame = true; },  // no drop frame at 25
        [](auto& d) { d.audioChannels = 17; }};
    for (const auto& change : breaks) {
        MxfFileDescription d = Small(25, 1, true, 1920, 1080, 5);
        change(d);
        EXPECT_THROW(WriteMxfFile(d, path), MxfWriterError);
    }
    const MxfFileDescription d = Small(25, 1, true, 1920, 1080, 5);
    EXPECT_THROW(WriteMxfFile(d, folder.Path() + "/missing/dir/X.MXF"), MxfWriterError);
}

TEST(MxfFileWriterTest, SameDescriptionGivesTheSameBytesAnd24BitAudioIsDeclared) {
    ScratchFolder folder;
    MxfFileDescription d = Small(25, 1, false, 1280, 720, 6);
    d.audioBitsPerSample = 24;
    WriteMxfFile(d, Tmp(folder, "1.mxf"));
    WriteMxfFile(d, Tmp(folder, "2.mxf"));
    const std::vector<uint8_t> first = ReadFile(Tmp(folder, "1.mxf"));
    EXPECT_TRUE(first == ReadFile(Tmp(folder, "2.mxf")));
    // Each 25p frame carries 1920 samples of 3 bytes per channel.
    for (const Klv& k : WalkAll(first))
        if (IsSound(k.key)) {
            EXPECT_EQ(k.length, 1920u * 3);
        }
    if (qztest::ShouldRunPeerCheck("ffprobe")) {
        const CommandResult probe =
            RunPeer("ffprobe -v error -select_streams a:0 -show_streams " + ShellQuote(Tmp(folder, "1.mxf")));
        EXPECT_EQ(ProbeValue(probe.output, "codec_name"), "pcm_s24le");
    }
}

}  // namespace
}  // namespace ComVantoVantoQZ64RADPlug::CardWriter
