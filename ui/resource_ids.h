/* Resource and control identifiers of Zarpex32.exe; shared by the resource script and the code. */
#ifndef ZARPEX32_RESOURCE_IDS_H
#define ZARPEX32_RESOURCE_IDS_H

/* Icons and the banner bitmap. */
#define IDI_PROGRAM 100
#define IDI_CABINET_SMALL 103
#define IDI_FOLDER_OPEN 104
#define IDB_ABOUT_BANNER 5200
#define IDB_ABOUT_BANNER_2X 5202  /* the banner at 200 %, packed (RCDATA, ui/packed_image.h) */

/* Dialog templates. */
#define IDD_PROGRESS_PAGE 101
#define IDD_OPTIONS_PAGE 102
#define IDD_FOLDER_PICKER 106
#define IDD_ABOUT_BOX 5201

/* Header shared by both pages. */
#define IDC_HEADER_ROOT 1025
#define IDC_HEADER_NAME 1026
#define IDC_HEADER_ICON 1030

/* Options page. */
#define IDC_NAME_LABEL 1000
#define IDC_NAME_EDIT 1001
#define IDC_SOURCE_BROWSE 1002
#define IDC_SOURCE_LABEL 1003
#define IDC_SOURCE_EDIT 1004
#define IDC_TARGET_LABEL 1005
#define IDC_TARGET_BROWSE 1006
#define IDC_TARGET_EDIT 1007
#define IDC_ADJUST_TARGET 1029

/* Progress page. */
#define IDC_SOURCE_CAPTION 1011
#define IDC_SOURCE_TEXT 1012
#define IDC_TARGET_CAPTION 1013
#define IDC_TARGET_TEXT 1014
#define IDC_FILE_CAPTION 1015
#define IDC_FILE_TEXT 1016
#define IDC_PROGRESS_BAR 1027

/* Folder picker: own statics; the rest are the old-style file dialog's ids. */
#define IDC_PICKER_PROMPT 2001
#define IDC_PICKER_PATH_LABEL 2002
#define IDC_PICKER_DIRS_LABEL 2003
#define IDC_PICKER_PATH 1088      /* stc1 */
#define IDC_PICKER_TYPE_LABEL 1089 /* stc2 */
#define IDC_PICKER_NAME_LABEL 1090 /* stc3 */
#define IDC_PICKER_DRIVE_LABEL 1091 /* stc4 */
#define IDC_PICKER_FILES 1120     /* lst1 */
#define IDC_PICKER_DIRS 1121      /* lst2 */
#define IDC_PICKER_TYPES 1136     /* cmb1 */
#define IDC_PICKER_DRIVES 1137    /* cmb2 */
#define IDC_PICKER_NAME 1152      /* edt1 */
#define IDC_PICKER_NETWORK 1037   /* psh14 */
#define IDC_PICKER_HELP 1038      /* psh15 */
#define IDC_PICKER_READONLY 1040  /* chx1 */

/* About box. */
#define IDC_ABOUT_PROGRAM 5100
#define IDC_ABOUT_VERSION_LABEL 5101
#define IDC_ABOUT_VERSION 5102
#define IDC_ABOUT_INTERNAL_LABEL 5103
#define IDC_ABOUT_INTERNAL 5104
#define IDC_ABOUT_COPYRIGHT 5105
#define IDC_ABOUT_BANNER 5106

/* Property sheet buttons and the system-menu command of the About box. */
#define IDC_SHEET_APPLY 12321
#define IDC_SHEET_HELP 9
#define IDM_ABOUT 1

/* The progress page's stop timer. */
#define IDT_STOP_TIMER 12321
#define STOP_TIMER_MS 10000
#define IDT_REDRAW_TIMER 12322

/* Button text while a job runs (the others are in message_texts.h). */
#define IDS_CANCEL_BUTTON 5002

#endif
