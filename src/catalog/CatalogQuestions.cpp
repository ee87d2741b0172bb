#include "CatalogQuestions.h"

#include <map>
#include <tuple>

namespace qzcatalog {

LackingAnswer CatalogQuestions::Lacking(int64_t copies, std::optional<int64_t> since) {
    LackingAnswer answer;
    m_Catalog.Read([&] { answer = LackingIn(m_Catalog.Db(), copies, since); });
    return answer;
}

LackingAnswer CatalogQuestions::LackingIn(Database& database, int64_t copies, std::optional<int64_t> since) {
    LackingAnswer answer;
    answer.copies = copies;
    answer.since = since;
    answer.files = CardFileTable(database).Lacking(copies, since.value_or(INT64_MIN));
    // The rows come by card, then path: the files of one clip are together.
    std::map<std::tuple<std::string, std::string, std::string>, size_t> at;
    for (const LackingFileRow& file : answer.files) {
        if (!file.clipId) continue;
        const auto key = std::make_tuple(file.cardFolder, file.mediumId.value_or(""), *file.clipId);
        auto [entry, fresh] = at.try_emplace(key, answer.clips.size());
        if (fresh)
            answer.clips.push_back(
                {file.cardFolder, file.mediumId, *file.clipId, file.title, 0, file.safeVolumes});
        LackingClip& clip = answer.clips[entry->second];
        ++clip.filesLacking;
        if (file.safeVolumes < clip.fewestVolumes) clip.fewestVolumes = file.safeVolumes;
    }
    return answer;
}

std::vector<CardRow> CatalogQuestions::Cards(int64_t copies) {
    std::vector<CardRow> rows;
    m_Catalog.Read([&] { rows = CardTable(m_Catalog.Db()).List(copies); });
    return rows;
}

std::vector<ClipRow> CatalogQuestions::Clips(const std::optional<std::string>& card,
                                             const std::optional<ClipFieldMatch>& match) {
    std::vector<ClipRow> rows;
    m_Catalog.Read([&] { rows = ClipTable(m_Catalog.Db()).List(card, match); });
    return rows;
}

std::vector<ClipRow> CatalogQuestions::Find(const std::string& text) {
    std::vector<ClipRow> rows;
    m_Catalog.Read([&] { rows = ClipTable(m_Catalog.Db()).Find(text); });
    return rows;
}

std::vector<ClipCopies> CatalogQuestions::Copies(const std::string& clipOrUmid) {
    std::vector<ClipCopies> answer;
    m_Catalog.Read([&] {
        Database& db = m_Catalog.Db();
        for (ClipRow& clip : ClipTable(db).Named(clipOrUmid)) {
            ClipCopies entry;
            entry.copies = CopyTable(db).OfClip(clip.id);
            entry.outputs = OutputTable(db).OfClip(clip.id);
            entry.checks = CheckTable(db).OfClip(clip.id);
            entry.clip = std::move(clip);
            answer.push_back(std::move(entry));
        }
    });
    return answer;
}

std::vector<qzimport::Recording> CatalogQuestions::Recordings(bool all) {
    std::vector<ClipRow> rows = Clips(std::nullopt, std::nullopt);
    std::vector<qzimport::LinkedClip> clips;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ClipSeen& clip = rows[i].clip;
        qzimport::LinkedClip linked;
        qzimport::RecordingPiece& piece = linked.piece;
        piece.cardIndex = i;
        piece.card = rows[i].cardFolder;
        piece.identity = {clip.relayMediumId.value_or(rows[i].mediumId.value_or("")), clip.clipId,
                          clip.umid.value_or("")};
        piece.frames = static_cast<uint64_t>(clip.durationFrames.value_or(0));
        piece.startTimecode = clip.startTimecode.value_or("");
        piece.endTimecode = clip.endTimecode.value_or("");
        piece.recorded = clip.shootingDate.value_or("");
        linked.previous = {clip.previousMediumId.value_or(""), clip.previousClipId.value_or(""),
                           clip.previousUmid.value_or("")};
        linked.next = {clip.nextMediumId.value_or(""), clip.nextClipId.value_or(""),
                       clip.nextUmid.value_or("")};
        clips.push_back(std::move(linked));
    }
    std::vector<qzimport::Recording> recordings;
    for (qzimport::Recording& recording : qzimport::LinkRecordings(clips))
        if (all || recording.pieces.size() > 1) recordings.push_back(std::move(recording));
    return recordings;
}

}  // namespace qzcatalog
