#pragma once

#include <cstdint>
#include <string>

namespace kestrola::ui {

/// A logical font as the settings keep it. A record whose fields are all zero and whose face
/// name is empty stands for the platform's default font.
struct FontRecord {
    std::int32_t height = 0; ///< below 0: character height in pixels; above 0: cell height
    std::int32_t width = 0;  ///< average character width; 0 lets the face choose
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0; ///< 100 to 900; 0 for the face's normal weight
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0; ///< low two bits: 1 fixed pitch, 2 variable pitch
    std::string faceName;            ///< at most 31 characters

    /// True when the record asks for the platform's default font.
    bool IsZero() const { return *this == FontRecord{}; }
    friend bool operator==(const FontRecord&, const FontRecord&) = default;
};

} // namespace kestrola::ui
