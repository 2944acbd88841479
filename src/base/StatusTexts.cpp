#include "base/StatusTexts.h"

#include <utility>

namespace kestrola::core {

namespace {

// Letter for letter as the program has always shown them, misspellings included: peers and
// users' scripts match on them.
constexpr std::pair<int, std::string_view> kTable[] = {
    {1285, "Error: Failed create mailslot"},
    {1286, "Error: Get Network provider failed"},
    {1287, "Error: Failed create file to write"},
    {1288, "Error: Failed get status"},
    {1289, "Error: Failed send to slot"},
    {1290, "Error: No right send linght"},
    {1291, "Are you sure that you want to send this message to all network?"},
    {1292, "Error: Please enter computer name"},
    {1293, "Error: Please enter message text"},
    {1294, "Message was succesful send"},
    {1295, " Not accessible"},
    {1296, "Error: in date string len"},
    {1297, "Error: on Open/Write/Create file"},
    {1298, "Error: not enought memory to complite operation"},
    {1299, "Error: read error/No right len section"},
    {1300, " to "},
    {1301, "Do you really want to Delete all messages?"},
    {1302, "Error: on Create empty file"},
    {1303, "Enumerate Groups..."},
    {1304, "Done..."},
    {1305, "We have errors..."},
    {1306, "Groups: "},
    {1307, "Computers: "},
    {1308, "Look "},
    {1309, "Scanning..."},
    {1310, "Scan complete"},
    {1312, "Are you really want to exit from Kestrola NET?"},
    {1314, "Error: Messenger service problems"},
    {1315, "Stop Messenger?"},
    {1316, "Error number:"},
    {1322, "Do you want to visit our website for updates?"},
    {1323, "Delete History file?"},
    {1325, "You can not send more than 100 symbols. Please edit the message."},
};

} // namespace

std::string_view LoadString(int id) {
    for (const auto& [key, text] : kTable) {
        if (key == id)
            return text;
    }
    return {};
}

} // namespace kestrola::core
