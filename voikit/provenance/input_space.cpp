#include "voikit/provenance/input_space.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "voikit/io/error.h"
#include "voikit/io/sha256.h"
#include "voikit/io/text_output.h"
#include "voikit/io/utf8.h"

namespace voikit {
namespace {

using ordered = nlohmann::ordered_json;

// What readers look for first: a record of another layout is refused by name, not misread.
constexpr const char* kFormat = "glomera-voi-input/1";

ordered point(const Point& p) { return ordered::array({p[0], p[1], p[2]}); }

Point pointFrom(const nlohmann::json& json, const char* what) {
    if (!json.is_array() || json.size() != 3) {
        throw Error(std::string(what) + " is not three numbers");
    }
    Point p{};
    for (int i = 0; i < 3; ++i) {
        if (!json[i].is_number()) throw Error(std::string(what) + " is not three numbers");
        p[i] = json[i].get<double>();
    }
    return p;
}

Space spaceFrom(const nlohmann::json& json, const char* what) {
    const std::optional<Space> space =
        json.is_string() ? spaceNamed(json.get<std::string>()) : std::nullopt;
    if (!space) throw Error(std::string(what) + " is neither \"tal\" nor \"mni\"");
    return *space;
}

const char* lowerName(Space space) { return kSpaceNames[static_cast<std::size_t>(space)]; }

ordered fileJson(const InputFile& file) {
    return {{"path", asUtf8(file.path)},
            {"bytes", file.bytes},
            {"sha256", file.sha256.empty() ? ordered() : ordered(file.sha256)}};
}

InputFile fileFrom(const nlohmann::json& json, const std::string& role) {
    if (!json.is_object() || !json.contains("path") || !json["path"].is_string() ||
        !json.contains("bytes") || !json["bytes"].is_number_unsigned()) {
        throw Error("\"" + role + "\" lacks its path or size");
    }
    InputFile file{role, json["path"].get<std::string>(), json["bytes"].get<std::uint64_t>(), ""};
    if (json.contains("sha256") && json["sha256"].is_string()) {
        file.sha256 = json["sha256"].get<std::string>();
    }
    return file;
}

// What a stat tells of a file: its size and its modification time to the nanosecond, in UTC.
struct FileStamp {
    std::uint64_t bytes = 0;
    std::string modified;
};

FileStamp stampOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throw Error(path, std::string("cannot see it: ") + std::strerror(errno));
    }
    std::tm utc{};
    gmtime_r(&info.st_mtim.tv_sec, &utc);
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%09ldZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<long>(info.st_mtim.tv_nsec));
    return {static_cast<std::uint64_t>(info.st_size), text};
}

// Why the record does not describe the .voi file as it is now, or "" when it does. A file
// recorded with its checksum is compared by it (a copy elsewhere is still the same file); one
// recorded without, by its modification time, which a copy may not keep.
std::string mismatch(const InputSpaceRecord& record, const std::string& voiPath) {
    const FileStamp now = stampOf(voiPath);
    if (now.bytes != record.voi.bytes) return "its size differs";
    if (!record.voi.sha256.empty()) {
        return sha256OfFile(voiPath).sha256 == record.voi.sha256 ? "" : "its checksum differs";
    }
    if (record.voiModified.empty()) return "it gives neither its checksum nor its time";
    return now.modified == record.voiModified ? "" : "its modification time differs";
}

}  // namespace

std::string inputSpaceRecordPath(const std::string& voiPath) { return voiPath + ".json"; }

std::optional<Space> commonSpace(const std::vector<RecordedSphere>& spheres) {
    if (spheres.empty()) return Space::kTal;
    for (const RecordedSphere& sphere : spheres) {
        if (sphere.space != spheres.front().space) return std::nullopt;
    }
    return spheres.front().space;
}

ordered inputSpaceJson(const InputSpaceRecord& record) {
    ordered spheres = ordered::array();
    for (const RecordedSphere& sphere : record.spheres) {
        spheres.push_back({{"name", asUtf8(sphere.name)},
                           {"space", lowerName(sphere.space)},
                           {"centre", point(sphere.written)},
                           {"centre_tal", point(sphere.tal)},
                           {"radius_mm", sphere.radius}});
    }
    ordered dropped = ordered::array();
    for (const DroppedPeak& peak : record.dropped) {
        dropped.push_back(
            {{"line", peak.line}, {"name", asUtf8(peak.name)}, {"reason", asUtf8(peak.reason)}});
    }
    ordered voiJson = fileJson(record.voi);
    if (!record.voiModified.empty()) voiJson["modified"] = record.voiModified;
    ordered json = {
        {"format", kFormat},
        {"voi_file", voiJson},
        {"input_space", record.space ? ordered(lowerName(*record.space)) : ordered("mixed")},
        {"transform", record.transform ? ordered(transformName(*record.transform)) : ordered()},
        {"source_table", record.source ? fileJson(*record.source) : ordered()},
        {"spheres", spheres},
        {"written_by", asUtf8(record.writtenBy)}};
    // Written only when a peak was dropped, so that records of complete tables stay as ever.
    if (!record.dropped.empty()) json["dropped"] = dropped;
    return json;
}

InputSpaceRecord inputSpaceFromJson(const nlohmann::json& json) {
    if (!json.is_object() || json.value("format", "") != kFormat) {
        throw Error(std::string("it is no input-space record (\"format\" is not \"") + kFormat +
                    "\")");
    }
    InputSpaceRecord record;
    record.voi = fileFrom(json.value("voi_file", nlohmann::json()), "voi_file");
    const nlohmann::json& modified = json["voi_file"].value("modified", nlohmann::json());
    if (modified.is_string()) record.voiModified = modified.get<std::string>();
    const nlohmann::json& space = json.value("input_space", nlohmann::json());
    record.space =
        space == "mixed" ? std::nullopt : std::optional<Space>(spaceFrom(space, "\"input_space\""));
    const nlohmann::json& transform = json.value("transform", nlohmann::json());
    if (!transform.is_null()) {
        record.transform =
            transform.is_string() ? transformNamed(transform.get<std::string>()) : std::nullopt;
        if (!record.transform) throw Error("\"transform\" names no known transform");
    }
    const nlohmann::json& source = json.value("source_table", nlohmann::json());
    if (!source.is_null()) record.source = fileFrom(source, "source_table");
    const nlohmann::json& spheres = json.value("spheres", nlohmann::json::array());
    if (!spheres.is_array()) throw Error("\"spheres\" is not a list");
    for (const nlohmann::json& entry : spheres) {
        if (!entry.is_object() || !entry.value("radius_mm", nlohmann::json()).is_number()) {
            throw Error("a sphere lacks its radius");
        }
        RecordedSphere sphere;
        sphere.name = entry.value("name", "");
        sphere.space = spaceFrom(entry.value("space", nlohmann::json()), "a sphere's \"space\"");
        sphere.written = pointFrom(entry.value("centre", nlohmann::json()), "a sphere's centre");
        sphere.tal =
            pointFrom(entry.value("centre_tal", nlohmann::json()), "a sphere's \"centre_tal\"");
        sphere.radius = entry["radius_mm"].get<double>();
        record.spheres.push_back(std::move(sphere));
    }
    const nlohmann::json& dropped = json.value("dropped", nlohmann::json::array());
    if (!dropped.is_array()) throw Error("\"dropped\" is not a list");
    for (const nlohmann::json& entry : dropped) {
        if (!entry.is_object() || !entry.value("line", nlohmann::json()).is_number_integer() ||
            !entry.value("reason", nlohmann::json()).is_string()) {
            throw Error("a dropped peak lacks its line or its reason");
        }
        record.dropped.push_back({entry["line"].get<int>(), entry.value("name", ""),
                                  entry["reason"].get<std::string>()});
    }
    if (record.space && record.space != commonSpace(record.spheres) && !record.spheres.empty()) {
        throw Error("\"input_space\" contradicts the spheres' own spaces");
    }
    if (!record.transform && record.space != Space::kTal) {
        throw Error("MNI input without a \"transform\"");
    }
    record.writtenBy = json.value("written_by", "");
    return record;
}

void writeInputSpaceRecord(const std::string& voiPath, InputSpaceRecord record) {
    const FileStamp stamp = stampOf(voiPath);
    const std::size_t slash = voiPath.rfind('/');
    // The .voi file is named as it lies beside the record, so that both move together.
    record.voi = {"VOI file", slash == std::string::npos ? voiPath : voiPath.substr(slash + 1),
                  stamp.bytes, ""};
    if (stamp.bytes <= kVoiChecksummedUpTo) {
        const FileChecksum checksum = sha256OfFile(voiPath);
        record.voi.bytes = checksum.bytes;
        record.voi.sha256 = checksum.sha256;
    } else {
        record.voiModified = stamp.modified;
    }
    record.space = commonSpace(record.spheres);
    const bool anyMni = std::any_of(record.spheres.begin(), record.spheres.end(),
                                    [](const RecordedSphere& s) { return s.space == Space::kMni; });
    if (!anyMni) record.transform.reset();
    writeTextOutput(inputSpaceRecordPath(voiPath), inputSpaceJson(record).dump(2) + "\n");
}

InputSpaceReading readInputSpaceRecord(const std::string& voiPath) {
    const std::string path = inputSpaceRecordPath(voiPath);
    const std::string talairach = ": its VOIs are described as made from Talairach coordinates";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {std::nullopt, voiPath + " has no input-space record (" + path + ")" + talairach};
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
        InputSpaceRecord record = inputSpaceFromJson(nlohmann::json::parse(text.str()));
        const std::string why = mismatch(record, voiPath);
        if (!why.empty()) {
            return {std::nullopt, path + " describes another version of " + voiPath + " (" + why +
                                      "): not believed" + talairach};
        }
        record.voi.path = voiPath;
        return {std::move(record), ""};
    } catch (const nlohmann::json::exception&) {
        return {std::nullopt, path + " is not readable JSON: not believed" + talairach};
    } catch (const Error& error) {
        return {std::nullopt, path + ": " + error.what() + ": not believed" + talairach};
    }
}

std::string inputSpaceWords(const std::optional<InputSpaceRecord>& record) {
    if (!record) return "TAL (no input-space record)";
    if (!record->transform) return "TAL";
    const std::string with =
        std::string("converted to TAL with ") + transformName(*record->transform);
    if (record->space) return "MNI (" + with + ")";
    return "MNI and TAL (MNI " + with + ")";
}

}  // namespace voikit
