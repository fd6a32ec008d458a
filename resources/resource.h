/* Resource identifiers of Vesk.exe: dialogs, bitmaps, controls. */
#ifndef VESK_RESOURCE_H
#define VESK_RESOURCE_H

/* Dialogs */
#define IDD_LAUNCHER          101
#define IDD_INSTALL_OPTIONS   106
#define IDD_COPY_PROGRESS     107
#define IDD_INSERT_MEDIUM     108

/* Bitmaps */
#define IDB_BUTTON            103   /* face of every launcher button, 80x39, 16 colours */
#define IDB_BACKGROUND        105   /* launcher background, 504x666, 256 colours */

/* Icon */
#define IDI_VESK              1

/* Launcher dialog buttons */
#define IDC_PLAY_HIGH         1000  /* "Spielen HIRES" */
#define IDC_INSTALL           1001  /* "Installieren", drawn as "Entfernen" when installed */
#define IDC_CLOSE             1002  /* "Schließen" */
#define IDC_INTRO_HIGH        1003  /* "Intro HIRES" */
#define IDC_PLAY_LOW          1004  /* "Spielen LORES" */
#define IDC_INTRO_LOW         1005  /* "Intro LORES" */

/* The launcher's window menu (right mouse button, or Alt+Space) */
#define IDM_INTRO_WINDOW      1010  /* "Intro im Fenster", checked while chosen */

/* Install options dialog */
#define IDC_TARGET_DRIVE      1004  /* combo box of fixed drives */
#define IDC_PLAY_FROM_CD      1006  /* "Von CD Spielen" */

/* Copy progress dialog */
#define IDC_TOTAL_BAR         1008  /* "Gesamt" */
#define IDC_FILE_BAR          1009  /* "Aktuell" */

#endif
