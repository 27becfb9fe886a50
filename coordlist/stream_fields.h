#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

namespace glomera {

// Reads whitespace-separated fields from one line exactly as formatted stream extraction
// does in the classic locale, with one difference that matters: a failed extraction stores
// nothing (a plain `stream >> value` stores 0 or the type's extreme). After a failure every
// later read on the line fails too.
class StreamFields {
  public:
    StreamFields();
    void reset(std::string_view line);

    bool readFloat(float& value);
    bool readInt(std::int32_t& value);
    // The next whitespace-delimited token; empty when none could be read.
    bool readToken(std::string& token);

  private:
    template <typename T>
    bool readNumber(T& value);

    std::istringstream stream_;
};

// The eight fields of a VOI definition line.
struct VoiLineValues {
    static constexpr std::size_t kNameLimit = 255;

    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float radius = 0.0f;
    std::string name;      // at most kNameLimit characters
    bool nameCut = false;  // the token was longer than kNameLimit and was cut
    std::int32_t r = 0;
    std::int32_t g = 0;
    std::int32_t b = 0;
    int fieldsRead = 0;  // how many of the eight fields were read, in order
};

// Reads x, y, z, radius, name, r, g, b from the line in this order. Fields that are not
// read keep their values; the name becomes empty unless it was read. Characters after the
// eighth field are ignored. True when all eight fields were read.
bool readVoiFields(StreamFields& fields, std::string_view line, VoiLineValues& values);

}  // namespace glomera
