// The print server's queues as the stand-in's printers: the CUPS server that libcups finds (the
// local one, or the one CUPS_SERVER or client.conf names), asked afresh at each call, so that a
// queue added, stopped or removed shows at the next.
#ifndef LYRWIN_PRINT_SERVER_H
#define LYRWIN_PRINT_SERVER_H

#include <windows.h>

#include <string>
#include <vector>

namespace lyrwin {

struct PrintQueue {
  std::string name;
  std::string info;      // the queue's description, as its administrator wrote it
  std::string location;  // where the printer stands
  std::string model;     // its make and model
  std::string uri;       // the device it prints on
  bool isDefault = false;
  bool stopped = false;   // paused by its administrator: jobs wait
  bool accepting = true;  // false: the queue refuses new jobs
  bool printing = false;  // a job is being printed
};

// The server's queues, the default one marked; empty when no server answers (within a few
// seconds) or it has none.
std::vector<PrintQueue> ServerQueues();

// A queue's default paper and the margins of its printable area, in hundredths of a millimetre.
struct QueueMedia {
  int width = 0, length = 0;
  int left = 0, top = 0, right = 0, bottom = 0;
};
// The default paper of `queue` as the server reports it; false when the server does not answer
// or the queue reports none (a raw queue has no driver to say).
bool QueueDefaultMedia(const std::string& queue, QueueMedia* media);

// The server's name as libcups reaches it ("localhost", "host:port", or a socket's path).
std::string PrintServerName();

// Sends the finished PDF at `pdfPath` to the queue `queue` as one job named `title`: 0 with the
// server's job number in `job`, or a Win32 error with nothing left on the server (a job made but
// not completed is cancelled): RPC_S_SERVER_UNAVAILABLE when no server answers or it goes away,
// ERROR_INVALID_PRINTER_NAME for a queue it does not have, ERROR_NOT_READY for a queue that
// refuses jobs, ERROR_ACCESS_DENIED when it refuses this user, the error of reading the file when
// it cannot be read to its end, ERROR_GEN_FAILURE otherwise.
DWORD SubmitPdf(const std::string& queue, const std::string& title, const std::string& pdfPath,
                int* job);

}  // namespace lyrwin

#endif  // LYRWIN_PRINT_SERVER_H
