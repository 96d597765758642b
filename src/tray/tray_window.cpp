#include "tray_window.h"

#include "resource_ids.h"
#include "version.h"

#include <cctype>

const char* const ABOUT_TEXT = "Velmora " VELMORA_VERSION "\nCorvend\nhttps://corvend.example/velmora";

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

}  // namespace

int menuCommandFromText(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return 0;
    text = text.substr(first, text.find_last_not_of(" \t\r") - first + 1);

    struct Item {
        std::string_view text;
        int command;
    };
    static constexpr Item items[] = {
        {"View log", IDM_VIEW_LOG},
        {"Set ADB Path", IDM_SET_ADB_PATH},
        {"About", IDM_ABOUT},
        {"Exit", IDM_EXIT},
    };
    for (const Item& item : items) {
        if (equalsIgnoringCase(text, item.text))
            return item.command;
    }
    return 0;
}
