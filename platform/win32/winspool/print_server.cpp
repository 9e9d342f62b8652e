// The CUPS server through libcups: its queues, and a finished PDF sent as one job. Every call
// opens its own connection and closes it, so that nothing waits on a server that went away.
#include "print_server.h"

#include "internal.h"

#include <cups/cups.h>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace lyrwin {
namespace {

// How long a server has to answer a connection: a lab's print server on the network may be
// slow, a dead one must not hang the print dialog.
constexpr int kConnectMs = 3000;

struct HttpClose {
  void operator()(http_t* http) const { httpClose(http); }
};
using Connection = std::unique_ptr<http_t, HttpClose>;

Connection Connect() {
  // libcups keeps the server it found for the thread; forgetting it reads CUPS_SERVER and
  // client.conf again, so that a server named since is the one asked.
  cupsSetServer(nullptr);
  return Connection(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                 kConnectMs, nullptr));
}

std::string Option(const cups_dest_t& dest, const char* name) {
  const char* value = cupsGetOption(name, dest.num_options, dest.options);
  return value != nullptr ? value : "";
}

DWORD ErrorFromIpp(ipp_status_t status) {
  switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
      return ERROR_INVALID_PRINTER_NAME;
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
      return ERROR_NOT_READY;
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
      return ERROR_ACCESS_DENIED;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
      return RPC_S_SERVER_UNAVAILABLE;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// The job made for a document that could not be sent whole: cancelled and purged, on a
// connection of its own (the one the document went over may be broken).
void Withdraw(const std::string& queue, int job) {
  Connection http = Connect();
  if (http) cupsCancelJob2(http.get(), queue.c_str(), job, 1);
}

// Streams the file into the open document request: 0 when all of it went, the Win32 error of a
// file that could not be read to its end, or RPC_S_SERVER_UNAVAILABLE when the server stopped
// taking it.
DWORD StreamFile(http_t* http, const std::string& path) {
  const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Win32ErrorFromErrno(errno);
  char buffer[65536];
  DWORD err = 0;
  for (;;) {
    const ssize_t n = ReadFull(fd, buffer, sizeof buffer);
    if (n <= 0) {
      if (n < 0) err = Win32ErrorFromErrno(errno);
      break;
    }
    if (cupsWriteRequestData(http, buffer, static_cast<size_t>(n)) != HTTP_STATUS_CONTINUE) {
      err = RPC_S_SERVER_UNAVAILABLE;
      break;
    }
  }
  CloseRetrying(fd);
  return err;
}

}  // namespace

std::string PrintServerName() {
  cupsSetServer(nullptr);
  const std::string server = cupsServer();
  if (!server.empty() && server[0] == '/') return server;  // a local socket
  return server + ":" + std::to_string(ippPort());
}

std::vector<PrintQueue> ServerQueues() {
  std::vector<PrintQueue> queues;
  Connection http = Connect();
  if (!http) return queues;
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(http.get(), &dests);
  for (int i = 0; i < count; ++i) {
    const cups_dest_t& dest = dests[i];
    if (dest.instance != nullptr) continue;  // a saved set of options, not a printer
    PrintQueue queue;
    queue.name = dest.name;
    queue.isDefault = dest.is_default != 0;
    queue.info = Option(dest, "printer-info");
    queue.location = Option(dest, "printer-location");
    queue.model = Option(dest, "printer-make-and-model");
    queue.uri = Option(dest, "device-uri");
    const std::string state = Option(dest, "printer-state");
    queue.stopped = state == "5";
    queue.printing = state == "4";
    queue.accepting = Option(dest, "printer-is-accepting-jobs") != "false";
    queues.push_back(std::move(queue));
  }
  cupsFreeDests(count, dests);
  return queues;
}

bool QueueDefaultMedia(const std::string& queue, QueueMedia* media) {
  Connection http = Connect();
  if (!http) return false;
  cups_dest_t* dest = cupsGetNamedDest(http.get(), queue.c_str(), nullptr);
  if (dest == nullptr) return false;
  cups_dinfo_t* info = cupsCopyDestInfo(http.get(), dest);
  cups_size_t size = {};
  const bool found = info != nullptr &&
                     cupsGetDestMediaDefault(http.get(), dest, info, 0, &size) != 0 &&
                     size.width > 0 && size.length > 0;
  if (info != nullptr) cupsFreeDestInfo(info);
  cupsFreeDests(1, dest);
  if (!found) return false;
  *media = {size.width, size.length, size.left, size.top, size.right, size.bottom};
  return true;
}

DWORD SubmitPdf(const std::string& queue, const std::string& title, const std::string& pdfPath,
                int* job) {
  *job = 0;
  Connection http = Connect();
  if (!http) return RPC_S_SERVER_UNAVAILABLE;
  const int id = cupsCreateJob(http.get(), queue.c_str(), title.c_str(), 0, nullptr);
  if (id == 0) return ErrorFromIpp(cupsLastError());
  DWORD streamed = RPC_S_SERVER_UNAVAILABLE;
  if (cupsStartDocument(http.get(), queue.c_str(), id, title.c_str(), CUPS_FORMAT_PDF, 1) !=
          HTTP_STATUS_CONTINUE ||
      (streamed = StreamFile(http.get(), pdfPath)) != 0) {
    const ipp_status_t status = cupsLastError();
    http.reset();
    Withdraw(queue, id);
    if (streamed != RPC_S_SERVER_UNAVAILABLE) return streamed;  // the document, not the server
    return status == IPP_STATUS_OK ? RPC_S_SERVER_UNAVAILABLE : ErrorFromIpp(status);
  }
  const ipp_status_t status = cupsFinishDocument(http.get(), queue.c_str());
  if (status > IPP_STATUS_OK_CONFLICTING) {
    http.reset();
    Withdraw(queue, id);
    return ErrorFromIpp(status);
  }
  *job = id;
  return 0;
}

}  // namespace lyrwin
