#pragma once
// The window's menu bar items and the pop-up menus of its panes and lists,
// with their items. The window makes and wires them; tests trigger them.
class QAction;
class QMenu;

struct TMainMenus {
    // The menu bar.
    QAction *Connect = nullptr, *Disconnect = nullptr, *Preferences = nullptr, *PauseChat = nullptr,
            *Away = nullptr, *Home = nullptr, *Journal = nullptr, *History = nullptr,
            *Quit = nullptr;
    // The chat pane's and the whisper pane's menus.
    QMenu *chatMenu = nullptr, *whisperMenu = nullptr;
    QAction *chatClear = nullptr, *SaveAs1 = nullptr, *Copy1 = nullptr, *SelectAll1 = nullptr;
    QAction *dispWhisper = nullptr, *dispRaw = nullptr, *whisperClear = nullptr;
    // The user list's menu.
    QMenu *userMenu = nullptr;
    QAction *Permasquelch = nullptr, *Unpermasquelch = nullptr, *addtosafe = nullptr,
            *remfromsafe = nullptr, *Squelch = nullptr, *Unsquelch = nullptr, *Whois = nullptr,
            *Stats = nullptr, *BroodwarStats = nullptr, *WarcraftStats = nullptr,
            *usersCopyName = nullptr, *mWhisper = nullptr, *usersHistory = nullptr;
    // The squelch list's menu.
    QMenu *brxMenu = nullptr;
    QAction *Remove = nullptr, *Add = nullptr, *RemoveAll = nullptr, *brxCopyName = nullptr,
            *brxHistory = nullptr;
};
