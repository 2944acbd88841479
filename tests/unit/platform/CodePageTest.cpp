#include "platform/Platform.h"
#include "platform/linux/LinuxCodePage.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace kestrola::platform {
namespace {

TEST(OemCodePageForLocale, FollowsTheLanguage) {
    const std::pair<const char*, int> cases[] = {
        {"C", 437},           {"POSIX", 437},       {"en_US.UTF-8", 437}, {"de_DE.UTF-8", 850},
        {"fr_FR@euro", 850},  {"pl_PL.UTF-8", 852}, {"cs_CZ", 852},       {"ru_RU.UTF-8", 866},
        {"uk_UA", 866},       {"el_GR.UTF-8", 737}, {"tr_TR.UTF-8", 857}, {"lt_LT", 775},
        {"he_IL.UTF-8", 862}, {"ar_EG.UTF-8", 720}, {"xx_YY", 437}};
    for (const auto& [locale, page] : cases)
        EXPECT_EQ(OemCodePageForLocale(locale), page) << locale;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name))
            m_old = old, m_had = true;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { m_had ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

TEST(CreateCodePage, LocaleAndOverride) {
    {
        ScopedEnv all("LC_ALL", "ru_RU.UTF-8");
        ScopedEnv forced("KESTROLA_OEM_CODEPAGE", nullptr);
        EXPECT_EQ(CreateCodePage()->OemCodePage(), 866);
    }
    {
        ScopedEnv all("LC_ALL", "ru_RU.UTF-8");
        ScopedEnv forced("KESTROLA_OEM_CODEPAGE", "852");
        EXPECT_EQ(CreateCodePage()->OemCodePage(), 852);
    }
    {
        // A page iconv lacks falls back to 437 rather than leaving the program without one.
        ScopedEnv forced("KESTROLA_OEM_CODEPAGE", "99999");
        EXPECT_EQ(CreateCodePage()->OemCodePage(), 437);
    }
}

TEST(LinuxCodePage, EveryOemByteIsOneCharacterAndRoundTrips) {
    for (const int number : {437, 850, 852, 866, 737, 857, 775, 862}) {
        const auto page = LinuxCodePage::Create(number);
        ASSERT_NE(page, nullptr) << number;
        for (int b = 1; b < 256; ++b) {
            const std::string oem(1, static_cast<char>(b));
            const std::string ansi = page->OemToAnsi(oem);
            std::size_t pos = 0;
            NextUtf8(ansi, pos);
            EXPECT_EQ(pos, ansi.size()) << number << " byte " << b;
            if (ansi != "?") {
                EXPECT_EQ(page->AnsiToOem(ansi), oem) << number << " byte " << b;
            }
        }
    }
}

TEST(LinuxCodePage, CyrillicAndUpperCase) {
    const auto page = LinuxCodePage::Create(866);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->AnsiToOem("Привет"), "\x8F\xE0\xA8\xA2\xA5\xE2");
    EXPECT_EQ(page->OemToAnsi("\x8F\xE0\xA8\xA2\xA5\xE2"), "Привет");
    EXPECT_EQ(page->UpperCase("привет pc1"), "ПРИВЕТ PC1");
    // Broken UTF-8 is no character of any page.
    EXPECT_EQ(page->AnsiToOem("a\xC3z\xFF"), "a?z?");
}

} // namespace
} // namespace kestrola::platform
