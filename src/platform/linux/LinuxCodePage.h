#pragma once

#include "platform/OemTable.h"

#include <locale.h>
#include <memory>
#include <string_view>

namespace kestrola::platform {

/// The OEM code page that Windows would use for a locale name such as "de_DE.UTF-8"
/// (English 437, Western European 850, Central European 852, Cyrillic 866, ...).
int OemCodePageForLocale(std::string_view localeName);

/// OEM code page tables read from glibc's iconv; ANSI is UTF-8 on this system.
class LinuxCodePage : public OemTable {
public:
    /// Builds the table of code page `number`; nullptr when iconv does not know it.
    static std::unique_ptr<LinuxCodePage> Create(int number);
    ~LinuxCodePage() override;

protected:
    char32_t ToUpper(char32_t c) const override;

private:
    LinuxCodePage(int number, const std::array<char32_t, 128>& upperHalf);
    locale_t m_locale = nullptr;
};

} // namespace kestrola::platform
