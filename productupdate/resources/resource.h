// Ids of the module's resources and of the controls in its dialog templates.
#pragma once

// Dialog templates
#define IDD_WIZARD_FRAME 103
#define IDD_WELCOME_PAGE 105
#define IDD_ERROR_PAGE 106
#define IDD_QUERY_PAGE 107
#define IDD_DOWNLOAD_PAGE 108
#define IDD_UPTODATE_PAGE 9000

// Pictures
#define IDI_PRODUCT 104
#define IDB_SIDE_PICTURE 109

// String table
#define IDS_SEARCH_PROGRESS 1
#define IDS_DOWNLOAD_ERROR 2
#define IDS_DOWNLOAD_PROGRESS 3
#define IDS_CAPTION 5
#define IDS_CANCEL_QUESTION 6
#define IDS_SEARCH_ERROR 7

// Controls of the frame
#define IDC_NEXT 3002
#define IDC_BEFORE 3003

// Controls of the pages
#define IDC_NEXTQUERY 3004
#define IDC_UPDATEHELP 3005
#define IDC_ERRORTEXT 3006
#define IDC_WELCOMETIP 3007
#define IDC_DOWNLOADING 3008
#define IDC_QUERYING 3009
#define IDC_PROGRESS 3010
#define IDC_UPTODATE_TEXT 9
#define IDC_THANKS 9001
#define IDC_SITE_LINK 9002
#define IDC_MORE 9003

// The publisher's public keys, in builds made with one (PEM text)
#define IDR_UPDATE_KEY 120
#define IDR_UPDATE_NEXT_KEY 121
