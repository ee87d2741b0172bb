#include "ClipTable.h"

#include "FBC_Utl_FoldCase.h"

#include <cctype>

namespace qzcatalog {

using ComVantoVantoQZ64RADPlug::FBC_Utl_FoldCase;

namespace {

using TextMember = std::optional<std::string> ClipSeen::*;

struct TextField {
    const char* name;
    const char* column;
    TextMember member;
};

// Every text column of a clip, in one order for the statements and the rows.
const TextField kTextFields[] = {
    {"umid", "umid", &ClipSeen::umid},
    {"startTimecode", "start_timecode", &ClipSeen::startTimecode},
    {"endTimecode", "end_timecode", &ClipSeen::endTimecode},
    {"durationTimecode", "duration_timecode", &ClipSeen::durationTimecode},
    {"frameRate", "frame_rate", &ClipSeen::frameRate},
    {"pictureSize", "picture_size", &ClipSeen::pictureSize},
    {"audioLayout", "audio_layout", &ClipSeen::audioLayout},
    {"title", "title", &ClipSeen::title},
    {"creator", "creator", &ClipSeen::creator},
    {"description", "description", &ClipSeen::description},
    {"shootingDate", "shooting_date", &ClipSeen::shootingDate},
    {"cameraMake", "camera_make", &ClipSeen::cameraMake},
    {"cameraModel", "camera_model", &ClipSeen::cameraModel},
    {"cameraSerial", "camera_serial", &ClipSeen::cameraSerial},
    {"location", "location", &ClipSeen::location},
    {"relayMediumId", "relay_medium_id", &ClipSeen::relayMediumId},
    {"previousMediumId", "previous_medium_id", &ClipSeen::previousMediumId},
    {"previousClipId", "previous_clip_id", &ClipSeen::previousClipId},
    {"previousUmid", "previous_umid", &ClipSeen::previousUmid},
    {"nextMediumId", "next_medium_id", &ClipSeen::nextMediumId},
    {"nextClipId", "next_clip_id", &ClipSeen::nextClipId},
    {"nextUmid", "next_umid", &ClipSeen::nextUmid},
};

std::string TextColumns() {
    std::string columns;
    for (const TextField& field : kTextFields) columns += std::string(", k.") + field.column;
    return columns;
}

// The columns Rows() reads, after k.id.
std::string SelectClips() {
    return "SELECT k.id, c.folder_name, c.medium_id, k.clip_id, k.duration_frames" + TextColumns() +
           " FROM clips k JOIN cards c ON c.id = k.card_id ";
}

const char* kOrder = " ORDER BY c.folder_name, c.card_key, k.clip_id";

std::string UpperAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// `text` as a LIKE pattern that matches it anywhere, its own % and _
// taken as they are.
std::string ContainsPattern(const std::string& text) {
    std::string pattern = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '!') pattern += '!';
        pattern += c;
    }
    return pattern + "%";
}

}  // namespace

const std::vector<std::string>& ClipTable::FieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all = {"clipId", "durationFrames"};
        for (const TextField& field : kTextFields) all.push_back(field.name);
        return all;
    }();
    return names;
}

std::string ClipTable::SearchText(const ClipSeen& clip) {
    // A unit separator between the fields, so no match runs across two.
    std::string text = clip.clipId;
    for (const auto* value : {&clip.title, &clip.creator, &clip.description, &clip.cameraSerial})
        text += "\x1f" + value->value_or("");
    return FBC_Utl_FoldCase(text);
}

int64_t ClipTable::Record(int64_t cardId, const ClipSeen& clip) {
    std::string columns = "card_id, clip_id, duration_frames, search_text";
    std::string values = "$1, $2, $3, $4";
    std::string updates = "duration_frames = excluded.duration_frames, search_text = excluded.search_text";
    int parameter = 5;
    for (const TextField& field : kTextFields) {
        columns += std::string(", ") + field.column;
        values += ", $" + std::to_string(parameter++);
        updates += std::string(", ") + field.column + " = excluded." + field.column;
    }
    std::unique_ptr<Statement> upsert =
        m_Database.Prepare("INSERT INTO clips (" + columns + ") VALUES (" + values +
                           ") ON CONFLICT (card_id, clip_id) DO UPDATE SET " + updates + " RETURNING id");
    upsert->Bind(1, cardId).Bind(2, clip.clipId).Bind(3, clip.durationFrames).Bind(4, SearchText(clip));
    parameter = 5;
    for (const TextField& field : kTextFields) upsert->Bind(parameter++, clip.*field.member);
    if (!upsert->Step()) throw CatalogError("the catalog " + m_Database.Where() + " recorded no clip row");
    return upsert->Int(0);
}

std::map<std::string, int64_t> ClipTable::IdsOfCard(int64_t cardId) {
    std::unique_ptr<Statement> list = m_Database.Prepare("SELECT clip_id, id FROM clips WHERE card_id = $1");
    list->Bind(1, cardId);
    std::map<std::string, int64_t> ids;
    while (list->Step()) ids[list->Text(0)] = list->Int(1);
    return ids;
}

std::vector<ClipRow> ClipTable::Rows(Statement& statement) {
    std::vector<ClipRow> rows;
    while (statement.Step()) {
        ClipRow row;
        row.id = statement.Int(0);
        row.cardFolder = statement.Text(1);
        row.mediumId = statement.OptionalText(2);
        row.clip.clipId = statement.Text(3);
        row.clip.durationFrames = statement.OptionalInt(4);
        int column = 5;
        for (const TextField& field : kTextFields) row.clip.*field.member = statement.OptionalText(column++);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<ClipRow> ClipTable::List(const std::optional<std::string>& card,
                                     const std::optional<ClipFieldMatch>& match) {
    // The column is one of a fixed set; the values are parameters.
    std::string condition = "WHERE ($1 = 0 OR c.medium_id = $2 OR c.folder_name = $2)";
    bool numeric = false;
    if (match) {
        const char* column = nullptr;
        if (match->field == "clipId") column = "clip_id";
        if (match->field == "durationFrames") {
            column = "duration_frames";
            numeric = true;
        }
        for (const TextField& field : kTextFields)
            if (match->field == field.name) column = field.column;
        if (!column)
            throw CatalogError("no clip field '" + match->field + "' (clipId, durationFrames, title, ...)",
                               CUFailureKind::kUsage);
        condition += std::string(" AND k.") + column + " = $3";
    }
    std::unique_ptr<Statement> list = m_Database.Prepare(SelectClips() + condition + kOrder);
    list->Bind(1, int64_t{card ? 1 : 0}).Bind(2, card.value_or(""));
    if (match && numeric) {
        const std::string& value = match->value;
        if (value.empty() || value.size() > 18 || value.find_first_not_of("0123456789") != std::string::npos)
            throw CatalogError("durationFrames=" + value + ": not a frame count", CUFailureKind::kUsage);
        list->Bind(3, static_cast<int64_t>(std::stoll(value)));
    } else if (match) {
        list->Bind(3, match->field == "clipId" ? UpperAscii(match->value) : match->value);
    }
    return Rows(*list);
}

std::vector<ClipRow> ClipTable::Find(const std::string& text) {
    std::unique_ptr<Statement> find =
        m_Database.Prepare(SelectClips() + "WHERE k.search_text LIKE $1 ESCAPE '!'" + kOrder);
    find->Bind(1, ContainsPattern(FBC_Utl_FoldCase(text)));
    return Rows(*find);
}

std::vector<ClipRow> ClipTable::Named(const std::string& clipOrUmid) {
    std::unique_ptr<Statement> named =
        m_Database.Prepare(SelectClips() + "WHERE k.clip_id = $1 OR k.umid = $2" + kOrder);
    named->Bind(1, UpperAscii(clipOrUmid)).Bind(2, clipOrUmid);
    return Rows(*named);
}

}  // namespace qzcatalog
