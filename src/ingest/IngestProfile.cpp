#include "IngestProfile.h"

#include "CUHostError.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <sstream>

namespace qzingest {

using ComVantoVantoQZ64RADPlug::CUFailureKind;
using ComVantoVantoQZ64RADPlug::CUHostError;

namespace {

// A profile is a few lines; anything larger is not one.
constexpr std::streamsize kMaxProfileBytes = 1 << 20;

CUHostError Refused(const std::string& path, const std::string& why) {
    return CUHostError("the profile " + path + " " + why, CUFailureKind::kUsage);
}

std::vector<std::string> Strings(const nlohmann::json& value, const std::string& key,
                                 const std::string& path) {
    if (value.is_string()) return {value.get<std::string>()};
    if (!value.is_array())
        throw Refused(path, "gives \"" + key + "\" neither a string nor an array of strings");
    std::vector<std::string> out;
    for (const nlohmann::json& item : value) {
        if (!item.is_string()) throw Refused(path, "gives \"" + key + "\" an item that is not a string");
        out.push_back(item.get<std::string>());
    }
    return out;
}

std::string Text(const nlohmann::json& value, const std::string& key, const std::string& path) {
    if (!value.is_string()) throw Refused(path, "gives \"" + key + "\" a value that is not a string");
    return value.get<std::string>();
}

bool Flag(const nlohmann::json& value, const std::string& key, const std::string& path) {
    if (!value.is_boolean()) throw Refused(path, "gives \"" + key + "\" a value that is not true or false");
    return value.get<bool>();
}

}  // namespace

IngestProfile IngestProfile::Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Refused(path, "cannot be read");
    std::string text(static_cast<size_t>(kMaxProfileBytes) + 1, '\0');
    in.read(text.data(), kMaxProfileBytes + 1);
    if (in.bad()) throw Refused(path, "cannot be read");
    if (in.gcount() > kMaxProfileBytes) throw Refused(path, "is larger than 1 MiB");
    text.resize(static_cast<size_t>(in.gcount()));
    nlohmann::json root;
    try {
        root = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        throw Refused(path, std::string("is not JSON: ") + e.what());
    }
    if (!root.is_object()) throw Refused(path, "is not a JSON object");
    IngestProfile profile;
    for (const auto& [key, value] : root.items()) {
        if (key == "to")
            profile.to = Strings(value, key, path);
        else if (key == "then")
            profile.then = Strings(value, key, path);
        else if (key == "hash")
            profile.hash = Strings(value, key, path);
        else if (key == "movies")
            profile.movies = Text(value, key, path);
        else if (key == "proxies")
            profile.proxies = Text(value, key, path);
        else if (key == "codec")
            profile.codec = Text(value, key, path);
        else if (key == "size")
            profile.size = Text(value, key, path);
        else if (key == "report")
            profile.report = Text(value, key, path);
        else if (key == "catalog")
            profile.catalog = Text(value, key, path);
        else if (key == "noCatalog")
            profile.noCatalog = Flag(value, key, path);
        else if (key == "json")
            profile.json = Flag(value, key, path);
        else if (key == "progress")
            profile.progress = Flag(value, key, path);
        else if (key == "copies") {
            if (!value.is_number_integer() || value.get<int64_t>() < 1 || value.get<int64_t>() > 100)
                throw Refused(path, "gives \"copies\" a value that is not a whole number from 1 to 100");
            profile.copies = value.get<int64_t>();
        } else {
            throw Refused(path, "has the unknown key \"" + key + "\"");
        }
    }
    return profile;
}

}  // namespace qzingest
