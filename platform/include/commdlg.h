// The common print dialog of the stand-in. On Linux the printer is picked by the host's user
// interface (LyrHostUi::ChoosePrinter in lyrhost.h); the structure and flags are Windows'.
#ifndef LYRWIN_COMMDLG_H
#define LYRWIN_COMMDLG_H

typedef UINT_PTR(CALLBACK* LPPRINTHOOKPROC)(HWND, UINT, WPARAM, LPARAM);
typedef UINT_PTR(CALLBACK* LPSETUPHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

typedef struct tagPDA {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  HDC hDC;  // out: the printer's device context, with PD_RETURNDC; the caller deletes it
  DWORD Flags;
  WORD nFromPage;
  WORD nToPage;
  WORD nMinPage;
  WORD nMaxPage;
  WORD nCopies;
  HINSTANCE hInstance;
  LPARAM lCustData;
  LPPRINTHOOKPROC lpfnPrintHook;
  LPSETUPHOOKPROC lpfnSetupHook;
  LPCSTR lpPrintTemplateName;
  LPCSTR lpSetupTemplateName;
  HGLOBAL hPrintTemplate;
  HGLOBAL hSetupTemplate;
} PRINTDLGA, *LPPRINTDLGA;
typedef PRINTDLGA PRINTDLG;
typedef LPPRINTDLGA LPPRINTDLG;

#define PD_ALLPAGES 0x00000000
#define PD_SELECTION 0x00000001
#define PD_PAGENUMS 0x00000002
#define PD_NOSELECTION 0x00000004
#define PD_NOPAGENUMS 0x00000008
#define PD_COLLATE 0x00000010
#define PD_PRINTTOFILE 0x00000020
#define PD_PRINTSETUP 0x00000040
#define PD_NOWARNING 0x00000080
#define PD_RETURNDC 0x00000100
#define PD_RETURNIC 0x00000200
#define PD_RETURNDEFAULT 0x00000400
#define PD_SHOWHELP 0x00000800
#define PD_USEDEVMODECOPIES 0x00040000
#define PD_HIDEPRINTTOFILE 0x00100000

#define CDERR_STRUCTSIZE 0x0001
#define PDERR_CREATEICFAILURE 0x100A
#define PDERR_PRINTERNOTFOUND 0x100B

extern "C" {

// Asks the host's user interface for a printer (without asking, with PD_RETURNDEFAULT); TRUE when
// the user chose one, with its device context in hDC when PD_RETURNDC is set. FALSE when the user
// cancelled (CommDlgExtendedError() 0) or on an error (its code).
LYRWIN_API BOOL WINAPI PrintDlgA(LPPRINTDLGA pPD);
LYRWIN_API DWORD WINAPI CommDlgExtendedError(void);

}  // extern "C"

#define PrintDlg PrintDlgA

#endif  // LYRWIN_COMMDLG_H
