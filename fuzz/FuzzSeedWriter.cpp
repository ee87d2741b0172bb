// Writes the seed corpora of the fuzz targets from the card writer's output:
// a small card (clips of one member file, one of two) is written into a
// scratch folder and its files, or the pieces a target's input is made of,
// are copied into one folder per target under OUT.
// Usage: FuzzSeedWriter OUT INFO_PLIST STRINGS_TABLE
#include "CardDescription.h"
#include "CardFileList.h"
#include "CardReading.h"
#include "CardWriter.h"
#include "ClipDescription.h"
#include "FileBytes.h"
#include "HistoryScan.h"
#include "MxfWriterLabels.h"
#include "Offload.h"
#include "OffloadJournal.h"
#include "SmallClip.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace cw = ComVantoVantoQZ64RADPlug::CardWriter;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;
using qztest::ReadFile;

void Write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    if (!qztest::WriteFile(path.string(), bytes)) throw std::runtime_error("cannot write " + path.string());
}

// A length prefix of `width` bytes, big-endian, then both parts.
Bytes Joined(const Bytes& first, const Bytes& second, int width) {
    Bytes out = qztest::BigEndian(first.size(), width);
    out.insert(out.end(), first.begin(), first.end());
    out.insert(out.end(), second.begin(), second.end());
    return out;
}

// The picture elements of a member file in stored order: the values of the
// KLV packets with the picture element key, found by their key.
std::vector<Bytes> PictureElements(const Bytes& mxf) {
    namespace labels = cw::MxfLabels;
    const cw::MxfKey key = labels::EssenceKey(labels::kPictureItem, 1, labels::kMpegFrameWrappedElement, 1);
    std::vector<Bytes> elements;
    for (size_t at = 0; at + key.size() + 1 < mxf.size(); ++at) {
        if (!std::equal(key.begin(), key.end(), mxf.begin() + static_cast<std::ptrdiff_t>(at))) continue;
        size_t value = at + key.size();
        uint64_t length = mxf[value++];
        if (length & 0x80) {  // BER long form: the count of length bytes that follow
            const size_t bytes = length & 0x7F;
            length = 0;
            for (size_t i = 0; i < bytes && value < mxf.size(); ++i) length = length << 8 | mxf[value++];
        }
        if (length > mxf.size() - value) break;
        elements.emplace_back(mxf.begin() + static_cast<std::ptrdiff_t>(value),
                              mxf.begin() + static_cast<std::ptrdiff_t>(value + length));
        at = value + length - 1;
    }
    return elements;
}

// One of the tests' small clips (1280x720 at 25 Mbps) with short GOPs.
cw::ClipDescription Clip(uint32_t number, cw::FrameRate rate, std::vector<uint32_t> memberFrames,
                         uint32_t gop) {
    cw::ClipDescription clip = qztest::SmallClip(rate, std::move(memberFrames));
    clip.id.number = number;
    clip.gopLength = gop;
    clip.bPictures = gop > 2 ? 2 : 0;
    return clip;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: FuzzSeedWriter OUT INFO_PLIST STRINGS_TABLE\n");
        return 1;
    }
    try {
        const fs::path out = argv[1];
        const fs::path card = out / "card";
        fs::remove_all(card);
        cw::CardDescription description;
        description.clips.push_back(Clip(1, cw::FrameRate::k25p, {4}, 3));
        description.clips.push_back(Clip(2, cw::FrameRate::k59_94p, {3, 3}, 3));
        // The smallest clip: one intra picture (the pictures are most of a file).
        description.clips.push_back(Clip(3, cw::FrameRate::k25p, {1}, 1));
        cw::WriteCard(description, card.string());

        Write(out / "MIFStreamFuzz" / "index", ReadFile(cw::MediaIndexPath(card.string())));
        int n = 0;
        for (const cw::ClipDescription& clip : description.clips) {
            const std::string tag = std::to_string(++n);
            const Bytes cif = ReadFile(cw::ClipFilePath(card.string(), clip.id, ".CIF"));
            const Bytes xml = ReadFile(cw::ClipFilePath(card.string(), clip.id, ".XML"));
            Write(out / "CIFStreamFuzz" / ("clip" + tag), cif);
            Write(out / "ClipMetaDataFuzz" / ("clip" + tag), xml);
            Write(out / "CUXmlDomDocumentFuzz" / ("clip" + tag), xml);
            for (const cw::MemberFile& member : cw::EffectiveMembers(clip)) {
                const Bytes mxf = ReadFile(cw::MemberMxfPath(card.string(), clip.id, member.number));
                const std::string name = "clip" + tag + "-" + std::to_string(member.number);
                Write(out / "MXFStreamFuzz" / name, mxf);
                // The header partition and its metadata lie at the start.
                Write(out / "MxfHeaderFuzz" / name,
                      Bytes(mxf.begin(), mxf.begin() + std::min<size_t>(mxf.size(), 65536)));
                if (cw::EffectiveMembers(clip).size() == 1)
                    Write(out / "MovieClipFuzz" / name, Joined(cif, mxf, 4));
                // Each picture after the first, with the first (whose sequence headers it may need).
                const std::vector<Bytes> pictures = PictureElements(mxf);
                for (size_t p = 0; p < pictures.size() && p < 4; ++p)
                    Write(out / "ThumbnailPictureFuzz" / (name + "-" + std::to_string(p)),
                          Joined(pictures.front(), pictures[p], 4));
            }
        }
        const Bytes info = ReadFile(argv[2]), strings = ReadFile(argv[3]);
        Write(out / "BundlePropertyListFuzz" / "bundle", Joined(info, strings, 2));
        Write(out / "CUXmlDomDocumentFuzz" / "info", info);

        // The history an offload of a card writes: a generation (first byte
        // even) and the chain (odd). The card above mixes the rate families,
        // which its index may not (a seed for the readers' refusals), so
        // the offload copies a card of its 25p clips.
        const fs::path offloadCard = out / "offload-card" / "card";
        fs::remove_all(offloadCard.parent_path());
        cw::CardDescription single;
        for (const cw::ClipDescription& clip : description.clips)
            if (clip.frameRate == cw::FrameRate::k25p) single.clips.push_back(clip);
        cw::WriteCard(single, offloadCard.string());
        const fs::path copies = out / "copies";
        fs::remove_all(copies);
        fs::create_directories(copies);
        qzoffload::OffloadOptions offload;
        offload.card = offloadCard.string();
        offload.destinations = {copies.string()};
        offload.formats = {qzoffload::HashFormat::kMd5, qzoffload::HashFormat::kXxh64};
        offload.creator.toolVersion = "seed";
        qzoffload::Offload::Run(offload);
        for (const auto& entry : fs::directory_iterator(copies / "card" / "ascmhl")) {
            const bool chain = entry.path().extension() == ".xml";
            if (!chain && entry.path().extension() != ".mhl") continue;
            Bytes seed{static_cast<uint8_t>(chain ? 1 : 0)};
            const Bytes file = ReadFile(entry.path().string());
            seed.insert(seed.end(), file.begin(), file.end());
            Write(out / "MhlReaderFuzz" / (chain ? "chain" : "generation"), seed);
        }
        // A catalog of that card and its copy, as one file (the last
        // connection folds the WAL into it).
        const fs::path catalogFile = out / "catalog-seed" / "catalog.sqlite";
        fs::remove_all(catalogFile.parent_path());
        {
            qzcatalog::Catalog catalog(qzcatalog::CatalogLocation::Named(catalogFile.string()));
            catalog.RecordCard(
                qzcatalog::CardReading::Read(offloadCard.string(), {qzoffload::HashFormat::kXxh64}, 0));
            qzcatalog::HistoryScan::Run(catalog, {copies.string()}, 0);
        }
        Write(out / "CatalogFileFuzz" / "catalog", ReadFile(catalogFile.string()));
        fs::remove_all(catalogFile.parent_path());
        // The journal an offload killed midway leaves: its run, the card's files, two files done.
        {
            const qzoffload::CardFileList files = qzoffload::CardFileList::Of(offloadCard.string());
            const std::string copy = (copies / "card").string();
            qzoffload::OffloadJournal journal(copy, "0123456789abcdef0123456789abcdef", 1714555800,
                                              files.files);
            for (size_t i = 0; i < 2 && i < files.files.size(); ++i)
                journal.Append({files.files[i].relativePath,
                                files.files[i].size,
                                files.files[i].modified,
                                {{qzoffload::HashFormat::kXxh64, "0123456789abcdef"}},
                                true});
            Write(out / "OffloadJournalFuzz" / "journal",
                  ReadFile(copy + "/ascmhl/" + qzoffload::OffloadJournal::kFileName));
        }
        // An export record (first byte even) and a checked report (odd), in the shape they are written.
        for (
            const std::string& seed :
            {std::string(1, '\0') +
                 R"({"mediumId":"515A4341","clipId":"QZ0001","format":"proxy","inPoint":)"
                 R"({"frame":0},"outPoint":{"frame":3},"outputFormat":{"codec":"h264","size":"960x540"},)"
                 R"("files":[{"name":"QZ0001.mov","bytes":123456},{"name":"QZ0001.wav","bytes":9}]})",
             std::string(1, '\1') +
                 R"({"checked":true,"cards":[{"mediumId":"515A4341","clips":[{"clipId":)"
                 R"("QZ0001","check":{"clean":true}},{"clipId":"QZ0002","check":{"clean":false,"problemCount":2}}]}]})"})
            Write(out / "CommandOutputReadingFuzz" / (seed[0] ? "report" : "export"),
                  Bytes(seed.begin(), seed.end()));
        fs::remove_all(copies);
        fs::remove_all(offloadCard.parent_path());
        fs::remove_all(card);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "FuzzSeedWriter: %s\n", e.what());
        return 1;
    }
    return 0;
}
