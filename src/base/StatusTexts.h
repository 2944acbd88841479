#pragma once

#include <string_view>

namespace kestrola::core {

/// Ids of the string table's numbered texts that the code names.
enum StatusText : int {
    kFailedCreateMailslot = 1285,
    kGetNetworkProviderFailed = 1286,
    kFailedCreateFileToWrite = 1287,
    kFailedGetStatus = 1288,
    kFailedSendToSlot = 1289,
    kNoRightSendLength = 1290,
    kSendToAllQuestion = 1291,
    kEnterComputerName = 1292,
    kEnterMessageText = 1293,
    kSendSucceeded = 1294,
    kNotAccessible = 1295,
    kDateStringLength = 1296,
    kOpenWriteCreateFile = 1297,
    kNotEnoughMemory = 1298,
    kReadErrorLength = 1299,
    kFromToJoin = 1300,
    kDeleteAllQuestion = 1301,
    kCreateEmptyFile = 1302,
    kEnumerateGroups = 1303,
    kDone = 1304,
    kWeHaveErrors = 1305,
    kGroupsLabel = 1306,
    kComputersLabel = 1307,
    kLook = 1308,
    kScanning = 1309,
    kScanComplete = 1310,
    kExitQuestion = 1312,
    kMessengerServiceProblems = 1314,
    kStopMessengerQuestion = 1315,
    kErrorNumber = 1316,
    kVisitWebsiteQuestion = 1322,
    kDeleteHistoryQuestion = 1323,
    kHistoryTimeSeparator = 1324,
    kTooManySymbols = 1325,
};

/// The text of string-table entry `id`; an entry without text, or an unknown id, is empty.
std::string_view LoadString(int id);

} // namespace kestrola::core
