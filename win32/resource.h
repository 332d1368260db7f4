/* The Windows editor's resource ids, shared by the resource script and the
   code. Plain definitions only: the resource compiler reads this file too.
   The main window's command ids are the core's own (app/maincommands.h);
   the code checks that both agree. */
#pragma once

/* Dialog templates */
#define IDD_MAIN 100
#define IDD_SAVING 101
#define IDD_ABOUT_PAGE 102
#define IDD_UNKNOWN_BLOCK 103
#define IDD_FILE_PAGE 104
#define IDD_CONTACT_PAGE 105
#define IDD_KNOWN_BUGS_PAGE 106
#define IDD_TIPS_PAGE 107
#define IDD_CREDITS 108
#define IDD_SOUND 109

/* Icons, accelerators, the About sound */
#define IDI_PROGRAM 200
#define IDI_CONTACT 203
#define IDI_KNOWN_BUGS 205
#define IDI_TIPS 206
#define IDR_ACCELERATORS 400
#define IDR_ABOUT_SOUND 300
#define RT_ABOUT_SOUND 1000

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

/* Sound window (109) */
#define IDC_WAVEFORM 170
#define IDC_FORMAT 171
#define IDC_FINDINGS 172
#define IDC_SOUND_SIZE 173
#define IDC_PLAY 174
#define IDC_TRIM_SELECTION 175
#define IDC_TRIM_SILENCE 176
#define IDC_SILENCE_FIELD 177
#define IDC_NORMALIZE 178
#define IDC_LEVEL_FIELD 179
#define IDC_MAKE_MONO 180
#define IDC_MAKE_EIGHT_BIT 181
#define IDC_UNDO 182

/* Options sheet: File page (104) */
#define IDC_ASSOCIATE 135
#define IDC_OPEN_CURRENT 138
#define IDC_OPEN_LAST_USED 139
#define IDC_SAVE_CURRENT 140
#define IDC_SAVE_LAST_USED 141

/* Known Bugs (106) and Tips (107) pages */
#define IDC_KNOWN_BUGS_TEXT 142
#define IDC_TIPS_TEXT 143

/* About page (102) */
#define IDC_ABOUT_ICON 205
#define IDC_WRITTEN_BY 137
#define IDC_ABOUT_DESCRIPTION 204
