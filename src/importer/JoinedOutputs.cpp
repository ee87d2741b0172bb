#include "JoinedOutputs.h"

#include "ClipOutputs.h"
#include "ImportError.h"
#include "WavWriter.h"

#include <cstring>
#include <fstream>

namespace qzimport {

using nlohmann::ordered_json;

namespace {

constexpr size_t kChunkBytes = 1 << 20;

// Appends the bytes of `path` from `skip` on; returns how many.
uint64_t Append(const std::string& path, uint64_t skip, OutputFile& to) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ImportError("cannot read " + path);
    in.seekg(static_cast<std::streamoff>(skip));
    std::vector<char> chunk(kChunkBytes);
    uint64_t total = 0;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const auto got = static_cast<size_t>(in.gcount());
        if (got == 0) break;
        to.Write(chunk.data(), got);
        total += got;
    }
    if (in.bad()) throw ImportError("cannot read " + path);
    return total;
}

// The pieces' WAVs of one name suffix appended sample by sample into one.
void JoinWavs(const std::string& scratch, const std::vector<JoinedPiece>& pieces, const std::string& suffix,
              uint16_t channels, OutputFile& to) {
    WavWriter writer(to, channels);
    std::vector<int16_t> samples;
    for (const JoinedPiece& piece : pieces) {
        std::ifstream in(scratch + "/" + piece.clipID + suffix, std::ios::binary);
        in.seekg(WavWriter::kHeaderBytes);
        if (!in) throw ImportError("cannot read the export of " + piece.clipID + suffix);
        samples.assign(kChunkBytes / 2, 0);
        while (in) {
            in.read(reinterpret_cast<char*>(samples.data()),
                    static_cast<std::streamsize>(samples.size() * 2));
            const size_t got = static_cast<size_t>(in.gcount()) / 2;
            if (got % channels != 0) throw ImportError(piece.clipID + suffix + " ends inside a sample frame");
            // Stored little-endian; WriteFrames takes the machine's order.
            for (size_t i = 0; i < got; ++i) {
                const auto* b = reinterpret_cast<const uint8_t*>(&samples[i]);
                samples[i] = static_cast<int16_t>(b[0] | (b[1] << 8));
            }
            writer.WriteFrames(samples.data(), got / channels);
        }
    }
    writer.Finish();
}

uint64_t Sum(const std::vector<JoinedPiece>& pieces, const char* key) {
    uint64_t total = 0;
    for (const JoinedPiece& p : pieces)
        if (p.record.contains(key) && p.record[key].is_number_unsigned())
            total += p.record[key].get<uint64_t>();
    return total;
}

}  // namespace

std::vector<std::string> JoinPieceOutputs(const std::string& scratch, const std::vector<JoinedPiece>& pieces,
                                          const std::string& outputFolder, bool replace) {
    if (pieces.empty()) throw ImportError("a recording without pieces");
    const std::string& id = pieces.front().clipID;
    // The channel files only when every piece has the same channels.
    const size_t channelFiles = pieces.front().record.value("outputs", ordered_json::array()).size() - 3;
    for (const JoinedPiece& p : pieces)
        if (p.record.value("outputs", ordered_json::array()).size() - 3 != channelFiles)
            throw ImportError(p.clipID + " has other sound tracks than " + id);
    std::vector<std::string> names = {id + ".m2v", id + ".wav", id + ".json"};
    for (size_t t = 1; t <= channelFiles; ++t) names.push_back(id + "_ch" + std::to_string(t) + ".wav");

    ClipOutputs outputs(outputFolder, replace);
    const std::vector<std::string> existing = outputs.ExistingOutputs(names);
    if (!existing.empty())
        throw ImportError(existing.front() + " exists in " + outputFolder + " (--force replaces it)");
    OutputFile& video = outputs.Add(id + ".m2v");
    for (const JoinedPiece& p : pieces) Append(scratch + "/" + p.clipID + ".m2v", 0, video);
    JoinWavs(scratch, pieces, ".wav", 2, outputs.Add(id + ".wav"));
    for (size_t t = 1; t <= channelFiles; ++t) {
        const std::string suffix = "_ch" + std::to_string(t) + ".wav";
        JoinWavs(scratch, pieces, suffix, 1, outputs.Add(id + suffix));
    }

    // The first piece's record, its counts and end those of the whole
    // recording, with every piece's own record under "pieces".
    const ordered_json& first = pieces.front().record;
    const ordered_json& last = pieces.back().record;
    ordered_json record = first;
    record["outputs"] = names;
    record["cards"] = ordered_json::array();
    record["memberFiles"] = ordered_json::array();
    for (const JoinedPiece& p : pieces) {
        record["cards"].push_back(p.record.value("card", ""));
        for (const auto& file : p.record.value("memberFiles", ordered_json::array()))
            record["memberFiles"].push_back(p.record.value("card", "") + "/" + file.get<std::string>());
    }
    record["lastTimecode"] = last.value("lastTimecode", ordered_json());
    record["endTimecode"] = last.value("endTimecode", ordered_json());
    record["frames"] = Sum(pieces, "frames");
    record["audioSamples"] = Sum(pieces, "audioSamples");
    record["channelSamples"] = channelFiles ? ordered_json(Sum(pieces, "channelSamples")) : ordered_json();
    const uint64_t frames = Sum(pieces, "frames");
    record["outPoint"] = {{"requestedFrame", nullptr},
                          {"frame", frames ? ordered_json(frames - 1) : ordered_json()}};
    record["pieces"] = ordered_json::array();
    for (const JoinedPiece& p : pieces) {
        ordered_json piece = p.record;
        piece.erase("outputs");
        piece.erase("values");
        record["pieces"].push_back(piece);
    }
    const std::string text = record.dump(2) + "\n";
    outputs.Add(id + ".json").Write(text.data(), text.size());
    outputs.CommitAll();
    return names;
}

}  // namespace qzimport
