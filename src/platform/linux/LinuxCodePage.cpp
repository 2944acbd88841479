#include "platform/linux/LinuxCodePage.h"

#include <cwctype>
#include <iconv.h>
#include <string>
#include <wctype.h>

namespace kestrola::platform {

namespace {

struct LanguagePage {
    std::string_view language;
    int page;
};

// Windows' OEM code page by language, as its locales choose it.
constexpr LanguagePage kPages[] = {
    {"en", 437}, {"de", 850}, {"fr", 850}, {"es", 850}, {"it", 850}, {"pt", 850}, {"nl", 850},
    {"da", 850}, {"sv", 850}, {"nb", 850}, {"nn", 850}, {"no", 850}, {"fi", 850}, {"is", 850},
    {"ca", 850}, {"eu", 850}, {"gl", 850}, {"ga", 850}, {"af", 850}, {"id", 850}, {"ms", 850},
    {"cs", 852}, {"pl", 852}, {"hu", 852}, {"sk", 852}, {"sl", 852}, {"hr", 852}, {"ro", 852},
    {"sq", 852}, {"bs", 852}, {"ru", 866}, {"uk", 866}, {"be", 866}, {"bg", 866}, {"mk", 866},
    {"kk", 866}, {"sr", 866}, {"el", 737}, {"tr", 857}, {"az", 857}, {"lt", 775}, {"lv", 775},
    {"et", 775}, {"he", 862}, {"ar", 720}, {"fa", 720},
};

} // namespace

int OemCodePageForLocale(std::string_view name) {
    const auto end = name.find_first_of("_.@");
    const std::string_view language = name.substr(0, end);
    for (const auto& entry : kPages) {
        if (entry.language == language)
            return entry.page;
    }
    return 437;
}

std::unique_ptr<LinuxCodePage> LinuxCodePage::Create(int number) {
    const std::string from = "CP" + std::to_string(number);
    iconv_t cd = iconv_open("UTF-32LE", from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    std::array<char32_t, 128> upper{};
    for (int i = 0; i < 128; ++i) {
        char in = static_cast<char>(0x80 + i);
        unsigned char out[8] = {};
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(out);
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
            sizeof out - outLeft == 4) {
            upper[i] = static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
        }
    }
    iconv_close(cd);
    return std::unique_ptr<LinuxCodePage>(new LinuxCodePage(number, upper));
}

LinuxCodePage::LinuxCodePage(int number, const std::array<char32_t, 128>& upperHalf)
    : OemTable(number, upperHalf), m_locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)) {}

LinuxCodePage::~LinuxCodePage() {
    if (m_locale != nullptr)
        freelocale(m_locale);
}

char32_t LinuxCodePage::ToUpper(char32_t c) const {
    if (m_locale == nullptr)
        return OemTable::ToUpper(c);
    return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), m_locale));
}

} // namespace kestrola::platform
