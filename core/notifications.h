#pragma once

namespace kb::core {

// The codes background threads and views post to the main window (the value that goes
// with each is described where the main window handles it).
enum Notification : int {
    kNotifySymbols = 1,
    kNotifyQuotes = 2,
    kNotifyNews = 3,
    kNotifyMail = 4,
    kNotifyTrades = 6,
    kNotifyAccountHistory = 7,
    kNotifyChartHistory = 8,
    kNotifySelectTab = 9,
    kNotifyEnableToolbar = 10,
    kNotifyDisableToolbar = 11,
    kNotifyShowOrderChart = 16,
    kNotifyGenerateKey = 17,
    kNotifyLoggedIn = 20,
    kNotifyReconnect = 21,
    kNotifyConnectionState = 22,
    kNotifyOpenOrderDialog = 23,
    kNotifyInvalidateChart = 25,
    kNotifyMailComposer = 33,
};

}  // namespace kb::core
