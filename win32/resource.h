/* The Windows editor's resource ids, shared by the resource script and the
   code. Plain definitions only: the resource compiler reads this file too.
   The main window's command ids are the core's own (app/maincommands.h);
   the code checks that both agree. */
#pragma once

/* Dialog templates */
#define IDD_MAIN 100
#define IDD_SAVING 101
#define IDD_UNKNOWN_BLOCK 103
#define IDD_CREDITS 108

/* Icons, accelerators */
#define IDI_PROGRAM 200
#define IDR_ACCELERATORS 400

/* Main window (100) */
#define IDC_SOUND1 100
#define IDC_SOUND10 109
#define IDC_OPEN 120
#define IDC_SAVE 121
#define IDC_NEW 123
#define IDC_QUIT 125
#define IDC_CREDITS 126
#define IDC_EXTRACT 127
#define IDC_REPLACE 128
#define IDC_OPTIONS 136
#define IDC_NAME 150
#define IDC_SIZE_TEXT 151

/* Saving (101) */
#define IDC_PROGRESS 206

/* Unknown voice block (103) */
#define IDC_BLOCK_ICON 205
#define IDC_DETAILS 129
#define IDC_STOP_CONVERSION 130
#define IDC_SKIP_BLOCK 131
#define IDC_FORCE_CONVERSION 132
#define IDC_SOUND_NUMBER 152
#define IDC_BLOCK_ID 153
#define IDC_BLOCK_LENGTH 154

/* Credits (108) */
#define IDC_AUTHOR 100
#define IDC_DESCRIPTION 101
#define IDC_DATE_FINISHED 102
#define IDC_ERASE 103
