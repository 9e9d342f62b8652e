// The print spooler's functions the stand-in offers: its printers listed and the default one
// named. Its printers are the print server's queues and "LyrUtil PDF".
#ifndef LYRWIN_WINSPOOL_H
#define LYRWIN_WINSPOOL_H

#include <windows.h>

#define PRINTER_ENUM_DEFAULT 0x00000001
#define PRINTER_ENUM_LOCAL 0x00000002
#define PRINTER_ENUM_CONNECTIONS 0x00000004
#define PRINTER_ENUM_NAME 0x00000008
#define PRINTER_ENUM_ICON8 0x00800000

#define PRINTER_ATTRIBUTE_DEFAULT 0x00000004
#define PRINTER_ATTRIBUTE_NETWORK 0x00000010
#define PRINTER_ATTRIBUTE_LOCAL 0x00000040

#define PRINTER_STATUS_PAUSED 0x00000001
#define PRINTER_STATUS_PRINTING 0x00000400
#define PRINTER_STATUS_NOT_AVAILABLE 0x00001000

#define ERROR_INVALID_LEVEL 124L

typedef struct _PRINTER_INFO_1A {
  DWORD Flags;
  LPSTR pDescription;  // "name,model,location"
  LPSTR pName;
  LPSTR pComment;
} PRINTER_INFO_1A;

typedef struct _PRINTER_INFO_2A {
  LPSTR pServerName;  // the print server's name; null for the PDF printer
  LPSTR pPrinterName;
  LPSTR pShareName;
  LPSTR pPortName;    // the device: the queue's device URI, or the PDF printer's folder
  LPSTR pDriverName;  // the printer's make and model
  LPSTR pComment;
  LPSTR pLocation;
  DEVMODEA* pDevMode;  // null: the stand-in's printers take no settings
  LPSTR pSepFile;
  LPSTR pPrintProcessor;
  LPSTR pDatatype;  // "application/pdf": what its documents are sent as
  LPSTR pParameters;
  void* pSecurityDescriptor;
  DWORD Attributes;  // PRINTER_ATTRIBUTE_DEFAULT, _NETWORK (a queue), _LOCAL (the PDF printer)
  DWORD Priority;
  DWORD DefaultPriority;
  DWORD StartTime;
  DWORD UntilTime;
  DWORD Status;  // PRINTER_STATUS_PAUSED (stopped), _PRINTING, _NOT_AVAILABLE (refuses jobs)
  DWORD cJobs;
  DWORD AveragePPM;
} PRINTER_INFO_2A;

typedef struct _PRINTER_INFO_4A {
  LPSTR pPrinterName;
  LPSTR pServerName;
  DWORD Attributes;
} PRINTER_INFO_4A;

// What OpenPrinterA is asked for; the stand-in's printers take no settings, so it is not read.
typedef struct _PRINTER_DEFAULTSA {
  LPSTR pDatatype;
  DEVMODEA* pDevMode;
  DWORD DesiredAccess;
} PRINTER_DEFAULTSA, *LPPRINTER_DEFAULTSA;

extern "C" {

// Lists the printers (PRINTER_ENUM_LOCAL or _CONNECTIONS: all; PRINTER_ENUM_DEFAULT alone: the
// default), the default first, at level 1, 2 or 4 into `pPrinterEnum`: the structures from its
// start, their strings packed at its end. FALSE with ERROR_INSUFFICIENT_BUFFER and the size in
// `pcbNeeded` when it is too small (a null buffer asks the size); ERROR_INVALID_LEVEL for
// another level; ERROR_INVALID_NAME for a server `Name` (only this machine's printers are
// listed). A print server that does not answer leaves the PDF printer alone. Every call asks the
// server afresh; safe from any thread.
LYRWIN_API BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum,
                                     DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);
// The default printer's name: the print server's default queue, else "LyrUtil PDF". FALSE with
// ERROR_INSUFFICIENT_BUFFER and the characters needed (with the terminator) in `pcchBuffer`
// when the buffer is null or too small.
LYRWIN_API BOOL WINAPI GetDefaultPrinterA(LPSTR pszBuffer, LPDWORD pcchBuffer);
// A handle on the printer named (case ignored), for ClosePrinter: FALSE with
// ERROR_INVALID_PRINTER_NAME when no printer has that name (a queue the server no longer has, or
// any queue when it does not answer), ERROR_INVALID_PARAMETER for a null name or handle.
LYRWIN_API BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter,
                                    LPPRINTER_DEFAULTSA pDefault);
// Lets go of a handle OpenPrinterA gave; FALSE with ERROR_INVALID_HANDLE for any other.
LYRWIN_API BOOL WINAPI ClosePrinter(HANDLE hPrinter);

}  // extern "C"

#define EnumPrinters EnumPrintersA
#define GetDefaultPrinter GetDefaultPrinterA
#define OpenPrinter OpenPrinterA
#define PRINTER_DEFAULTS PRINTER_DEFAULTSA
#define PRINTER_INFO_1 PRINTER_INFO_1A
#define PRINTER_INFO_2 PRINTER_INFO_2A
#define PRINTER_INFO_4 PRINTER_INFO_4A

#endif  // LYRWIN_WINSPOOL_H
