// Resource ids shared by poremisu.rc and the Windows front end.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC           (-1)
#endif

#define IDD_URL_INPUT        100
#define IDS_SYSMENU_URLINPUT 101
#define IDS_SYSMENU_MENUSET  102
#define IDS_SYSMENU_HELP     103
#define IDD_MAIN             102
#define IDI_MAIN             128

// Controls of the main window.
#define IDC_BROWSER          1000
#define IDC_ADDRESS_BAR      1002
#define IDC_STATUS_BAR       1

// Controls of the address dialog.
#define IDC_URL_GO           1
#define IDC_URL_MENU         2
#define IDC_URL_CANCEL       5
#define IDC_URL_ADDRESS      1006
#define IDC_URL_PAGE_NAME    1007
#define IDC_URL_ANCHOR       1008

#define POREMISU_MAIN_CLASS  "poremisu"
