#pragma once
// Resource identifiers shared by the resource scripts and the code.

// Icons, tray menu and tray image names
#define IDR_MAINFRAME 128          // application icon: 16, 32, 48 and 256 px
#define IDI_DEFAULT_APP 131        // DEFAULT_APP_ICON: stands in for an executable without an icon
#define IDR_TRAY_MENU 136          // pop-up "TrayContext"
#define IDI_TRAY_FIRST 139         // the nine tray images, 16 x 16, 139 + index
#define IDI_TRAY_COVELIN 139
#define IDI_TRAY_SEARCH 140
#define IDI_TRAY_SECURITY 141
#define IDI_TRAY_DISK 142
#define IDI_TRAY_FILM 143
#define IDI_TRAY_MAIL 144
#define IDI_TRAY_SKULL 145
#define IDI_TRAY_PHOTO 146
#define IDI_TRAY_TRASH 147
#define IDI_ABOUT_PICTURE 148      // the About page's large picture
#define IDS_TRAY_FIRST 1000        // the tray images' names, 1000 + index
#define ID_TRAY_RESTORE_EXIT 32771 // "Exit" / "Restore && Exit"
#define ID_TRAY_SETTING 32773      // "Setting..."
#define ID_TRAY_HIDE_RESTORE 32774 // "Hide" / "Restore"

// Main dialog and the Options, Settings and About pages
#define IDD_COVELIN_DIALOG        102
#define IDD_OPTION_PAGE           133
#define IDD_SETTING_PAGE          134
#define IDD_ABOUT_PAGE            135
#define IDC_MAIN_TAB              1001
#define IDC_START                 3
// Options page
#define IDC_OPT_HIDE_NOTIFY       1014
#define IDC_OPT_MUTE              1015
#define IDC_OPT_LOCK              1016
#define IDC_OPT_SCREENSAVER       1017
#define IDC_OPT_RESOLUTION        1018
#define IDC_OPT_DISPLAY_MODE      1021
#define IDC_OPT_NOTE              1042
#define IDC_OPT_NOTIFY_REASON     1050
#define IDC_OPT_MUTE_HIDDEN_ONLY  1051
#define IDC_OPT_MUTE_FALLBACK     1052
// Settings page
#define IDC_SET_SHOW_DIALOG_KEY   1011
#define IDC_SET_TOGGLE_KEY        1012
#define IDC_SET_HIDE_OWN_ICON     1014
#define IDC_SET_START_WITH_WINDOWS 1015
#define IDC_SET_USE_DEFAULT       1017
#define IDC_SET_TRAY_IMAGE        1018
#define IDC_SET_NOTE              1043
#define IDC_SET_HIDE_ACTIVE_KEY   1019
// About page
#define IDC_ABOUT_PICTURE         1024
#define IDC_ABOUT_VERSION         1025
#define IDC_ABOUT_NAME_CAPTION    1028
#define IDC_ABOUT_VERSION_CAPTION 1029
#define IDC_ABOUT_SITE_CAPTION    1030
#define IDC_ABOUT_SUPPORT_CAPTION 1031
#define IDC_ABOUT_FEEDBACK_CAPTION 1032
#define IDC_ABOUT_SALES_CAPTION   1033
#define IDC_ABOUT_FORM_CAPTION    1034
#define IDC_ABOUT_SITE_LINK       1035
#define IDC_ABOUT_SUPPORT_LINK    1036
#define IDC_ABOUT_FEEDBACK_LINK   1037
#define IDC_ABOUT_SALES_LINK      1038
#define IDC_ABOUT_FORM_LINK       1039

// Windows, Processes and Executable Files pages
#define IDD_WINDOWS_PAGE          129
#define IDD_PROCESS_PAGE          130
#define IDD_FILE_PAGE             132
#define IDC_ALL_WINDOWS           1002
#define IDC_HIDE_WINDOWS          1003
#define IDC_SET_TOP_WINDOW        1004
#define IDC_REVERSE_SELECT        1005
#define IDC_TOP_WINDOW_ICON       1006
#define IDC_TOP_WINDOW_TITLE      1007
#define IDC_ALL_PROCESSES         1008
#define IDC_HIDE_PROCESSES        1009
#define IDC_FILE_LIST             1009
#define IDC_ADD_FILE              1010
#define IDC_DELETE_FILE           1011
#define IDC_CLEAR_FILES           1012
#define IDC_CLEAR_HIDE_LIST       1020
// The rules on the Executable Files page
#define IDC_RULE_LIST             1060
#define IDC_RULE_FIELD            1061
#define IDC_RULE_PATTERN          1062
#define IDC_RULE_MATCHES          1063
#define IDC_ADD_RULE              1064
#define IDC_DELETE_RULE           1065
#define IDC_CLEAR_RULES           1066
