#pragma once
// Command ids of the program's menus, accelerators and buttons. Ids from 57600 on are the
// standard commands every desktop program of this family shares; the others are the program's.
namespace platform::ui {

inline constexpr unsigned ID_FILE_NEW = 57600;
inline constexpr unsigned ID_FILE_OPEN = 57601;       // File > Import
inline constexpr unsigned ID_FILE_SAVE = 57603;       // File > Export
inline constexpr unsigned ID_FILE_NEW_FRAME = 57613;
inline constexpr unsigned ID_EDIT_COPY = 57634;
inline constexpr unsigned ID_EDIT_CUT = 57635;
inline constexpr unsigned ID_EDIT_PASTE = 57637;
inline constexpr unsigned ID_EDIT_UNDO = 57643;
inline constexpr unsigned ID_APP_ABOUT = 57664;
inline constexpr unsigned ID_APP_EXIT = 57665;
inline constexpr unsigned ID_NEXT_PANE = 57680;
inline constexpr unsigned ID_PREV_PANE = 57681;

inline constexpr unsigned ID_VIEW_NEXT = 203;
inline constexpr unsigned ID_VIEW_PREVIOUS = 204;
inline constexpr unsigned ID_LOOK_FIRST = 205;  // the looks: 205 ... 219
inline constexpr unsigned ID_LOOK_LAST = 219;
inline constexpr unsigned ID_EDIT_FIND = 32771;
inline constexpr unsigned ID_TOOLS_ACCOUNTS = 32772;
inline constexpr unsigned ID_TOOLS_REFRESH = 32773;
inline constexpr unsigned ID_TOOLS_OPTIONS = 32774;
inline constexpr unsigned ID_ZONE_SYSTEM = 32776;
inline constexpr unsigned ID_NEW_EVENT = 32780;
inline constexpr unsigned ID_NEW_SUBSCRIPTION = 32781;
inline constexpr unsigned ID_NEW_EVENT_ACCOUNT_FIRST = 32782;  // one per account position
inline constexpr unsigned ID_ZONE_FIRST = 13001;               // one per zone of the zone list
inline constexpr unsigned ID_ZONE_LAST = 13387;

}  // namespace platform::ui
