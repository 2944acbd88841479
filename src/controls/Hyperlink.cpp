#include "controls/Hyperlink.h"

#include "platform/Shell.h"

#include <string_view>
#include <utility>

namespace kestrola::core {

namespace {

constexpr std::pair<int, std::string_view> kErrorTexts[] = {
    {0, "The operating system is out\nof memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied\naccess to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {26, "A sharing violation occurred. "},
    {27, "The filename association is\nincomplete or invalid."},
    {28, "The DDE transaction could not\nbe completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
         "being processed."},
    {31, "There is no application associated\nwith the given filename extension."},
    {32, "The specified dynamic-link library was not found."},
};

} // namespace

int GotoUrl(platform::Shell& shell, const std::string& url) {
    const int opened = shell.Open("open", url);
    if (OpenSucceeded(opened))
        return opened;
    // Without a registered browser the opener's answer is the one to report.
    return shell.RunWebBrowser(url).value_or(opened);
}

std::string HyperlinkErrorText(int code) {
    std::string text = "Unable to open hyperlink:\n\n";
    for (const auto& [known, message] : kErrorTexts) {
        if (known == code)
            return text.append(message);
    }
    return text + "Unknown Error (" + std::to_string(code) + ") occurred.";
}

Rect FitToText(const Rect& r, Size text, LabelAlignment alignment) {
    Rect fitted = r;
    if (alignment.centreVertically) {
        const int dy = (r.Height() - text.height) / 2;
        fitted.top += dy;
        fitted.bottom -= dy;
    } else {
        fitted.bottom = fitted.top + text.height;
    }
    if (alignment.centre) {
        const int dx = (r.Width() - text.width) / 2;
        fitted.left += dx;
        fitted.right -= dx;
    } else if (alignment.right) {
        fitted.left = fitted.right - text.width;
    } else {
        fitted.right = fitted.left + text.width;
    }
    return fitted;
}

} // namespace kestrola::core
