#include "coordlist/stream_fields.h"

#include <locale>

namespace glomera {

StreamFields::StreamFields() { stream_.imbue(std::locale::classic()); }

void StreamFields::reset(std::string_view line) {
    stream_.clear();
    stream_.str(std::string(line));
}

template <typename T>
bool StreamFields::readNumber(T& value) {
    T read{};
    stream_ >> read;
    if (stream_.fail()) return false;
    value = read;
    return true;
}

bool StreamFields::readFloat(float& value) { return readNumber(value); }

bool StreamFields::readInt(std::int32_t& value) { return readNumber(value); }

bool StreamFields::readToken(std::string& token) {
    token.clear();
    stream_ >> token;
    if (stream_.fail()) {
        token.clear();
        return false;
    }
    return true;
}

bool readVoiFields(StreamFields& fields, std::string_view line, VoiLineValues& values) {
    fields.reset(line);
    // Each read after a failure fails at once, so the chain stops at the first bad field and
    // the fields read are the first ones.
    int read = 0;
    read += fields.readFloat(values.x);
    read += fields.readFloat(values.y);
    read += fields.readFloat(values.z);
    read += fields.readFloat(values.radius);
    read += fields.readToken(values.name);
    values.nameCut = values.name.size() > VoiLineValues::kNameLimit;
    if (values.nameCut) values.name.resize(VoiLineValues::kNameLimit);
    read += fields.readInt(values.r);
    read += fields.readInt(values.g);
    read += fields.readInt(values.b);
    values.fieldsRead = read;
    return read == 8;
}

}  // namespace glomera
