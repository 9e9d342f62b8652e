// The printers, their device contexts, documents and pages. The stand-in's printers are the print
// server's queues (print_server.h) and "LyrUtil PDF" (pdf_printer.h), which every installation
// has: the server's default is the default printer, else the PDF printer.
#include "gdi_objects.h"
#include "internal.h"
#include "print_server.h"

#include <cmath>
#include <cstring>

namespace lyrwin {
namespace {

// A printer DC, held for the length of a call even if another thread deletes its handle; null
// (last error set) for a memory DC or a bad handle.
std::shared_ptr<DcObject> PrinterDc(HDC hdc) {
  auto dc = DcFromHandle(hdc);
  if (!dc || !dc->printer) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return dc;
}

int OnPrinter(HDC hdc, int (PdfPrinter::*call)()) {
  auto dc = PrinterDc(hdc);
  return dc ? (dc->printer.get()->*call)() : SP_ERROR;
}

}  // namespace

// The printers in the order the print dialog offers them: the default first.
std::vector<PrintQueue> Printers() {
  std::vector<PrintQueue> printers = ServerQueues();
  PrintQueue pdf;
  pdf.name = kPdfPrinterName;
  pdf.info = "PDF files in the installation's printed folder";
  pdf.uri = "file://" + PrefixDir() + "/printed";
  bool serverDefault = false;
  for (const PrintQueue& queue : printers) serverDefault = serverDefault || queue.isDefault;
  pdf.isDefault = !serverDefault;
  printers.insert(printers.begin(), std::move(pdf));
  std::stable_partition(printers.begin(), printers.end(),
                        [](const PrintQueue& p) { return p.isDefault; });
  return printers;
}

std::vector<std::string> PrinterNames() {
  std::vector<std::string> names;
  for (const PrintQueue& printer : Printers()) names.push_back(printer.name);
  return names;
}

namespace {

DWORD PrinterStatus(const PrintQueue& printer) {
  DWORD status = 0;
  if (printer.stopped) status |= PRINTER_STATUS_PAUSED;
  if (printer.printing) status |= PRINTER_STATUS_PRINTING;
  if (!printer.accepting) status |= PRINTER_STATUS_NOT_AVAILABLE;
  return status;
}

// Lays out the answer of EnumPrintersA: the structures from the start of the buffer, their
// strings packed from its end, as Windows does.
class PrinterInfoWriter {
 public:
  PrinterInfoWriter(BYTE* buffer, DWORD size, size_t structures)
      : buffer_(buffer), size_(size), structures_(structures), stringsEnd_(size) {}
  // A string's place, or null when it does not fit (the size needed still counts it).
  LPSTR Put(const std::string& text) {
    needed_ += text.size() + 1;
    if (!Fits() || stringsEnd_ < structures_ + text.size() + 1) {
      overflow_ = true;
      return nullptr;
    }
    stringsEnd_ -= text.size() + 1;
    std::memcpy(buffer_ + stringsEnd_, text.c_str(), text.size() + 1);
    return reinterpret_cast<LPSTR>(buffer_ + stringsEnd_);
  }
  DWORD Needed() const { return static_cast<DWORD>(structures_ + needed_); }
  bool Fits() const { return !overflow_ && buffer_ != nullptr && structures_ <= size_; }
  BYTE* Structure(size_t offset) { return Fits() ? buffer_ + offset : nullptr; }

 private:
  BYTE* buffer_;
  size_t size_;
  size_t structures_;
  size_t stringsEnd_;
  size_t needed_ = 0;
  bool overflow_ = false;
};

template <class Info, class Fill>
BOOL EnumerateInto(const std::vector<PrintQueue>& printers, LPBYTE buffer, DWORD size,
                   LPDWORD needed, LPDWORD returned, Fill fill) {
  PrinterInfoWriter writer(buffer, size, printers.size() * sizeof(Info));
  std::vector<Info> infos(printers.size());
  for (size_t i = 0; i < printers.size(); ++i) fill(printers[i], &writer, &infos[i]);
  *needed = writer.Needed();
  *returned = 0;
  if (!writer.Fits() || *needed > size) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, infos.data(), infos.size() * sizeof(Info));
  *returned = static_cast<DWORD>(printers.size());
  return TRUE;
}

// The queue's default paper and margins in the printer's dots; A4 with 1/4 inch margins when the
// queue does not say (or says something no page could be drawn on).
PageGeometry QueuePage(const std::string& queue) {
  QueueMedia media;
  if (!QueueDefaultMedia(queue, &media)) return PageGeometry();
  const auto dots = [](int hundredthsOfMm) {
    return static_cast<int>(std::lround(hundredthsOfMm / 2540.0 * PdfPrinter::kDotsPerInch));
  };
  PageGeometry page;
  page.widthMm = media.width / 100.0;
  page.heightMm = media.length / 100.0;
  page.left = dots(media.left);
  page.top = dots(media.top);
  page.right = dots(media.right);
  page.bottom = dots(media.bottom);
  // Paper over a metre, or margins that leave less than an inch, is not a page to draw on.
  if (page.widthMm > 1000 || page.heightMm > 1000 || page.left < 0 || page.top < 0 ||
      page.right < 0 || page.bottom < 0 ||
      page.WidthDots() - page.left - page.right < PdfPrinter::kDotsPerInch ||
      page.HeightDots() - page.top - page.bottom < PdfPrinter::kDotsPerInch)
    return PageGeometry();
  return page;
}

}  // namespace

}  // namespace lyrwin

extern "C" HDC WINAPI CreateDCA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR, const DEVMODEA*) {
  const bool spooler = pszDriver == nullptr || lyrwin::EqualNoCase(pszDriver, "WINSPOOL");
  if (!spooler || pszDevice == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (lyrwin::EqualNoCase(pszDevice, lyrwin::kPdfPrinterName)) {
    auto dc = lyrwin::NewDc();
    dc->printer = std::make_unique<lyrwin::PdfPrinter>(lyrwin::kPdfPrinterName);
    return static_cast<HDC>(lyrwin::InsertHandle(dc));
  }
  for (const lyrwin::PrintQueue& queue : lyrwin::ServerQueues()) {
    if (!lyrwin::EqualNoCase(queue.name, pszDevice)) continue;
    auto dc = lyrwin::NewDc();
    dc->printer =
        std::make_unique<lyrwin::PdfPrinter>(queue.name, queue.name, lyrwin::QueuePage(queue.name));
    return static_cast<HDC>(lyrwin::InsertHandle(dc));
  }
  SetLastError(ERROR_INVALID_PRINTER_NAME);
  return nullptr;
}

extern "C" int WINAPI StartDocA(HDC hdc, const DOCINFOA* lpdi) {
  auto dc = lyrwin::PrinterDc(hdc);
  if (!dc) return SP_ERROR;
  if (lpdi == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  return dc->printer->StartDoc(*lpdi);
}

extern "C" int WINAPI StartPage(HDC hdc) {
  return lyrwin::OnPrinter(hdc, &lyrwin::PdfPrinter::StartPage);
}

extern "C" int WINAPI EndPage(HDC hdc) {
  return lyrwin::OnPrinter(hdc, &lyrwin::PdfPrinter::EndPage);
}

extern "C" int WINAPI EndDoc(HDC hdc) {
  return lyrwin::OnPrinter(hdc, &lyrwin::PdfPrinter::EndDoc);
}

extern "C" int WINAPI AbortDoc(HDC hdc) {
  return lyrwin::OnPrinter(hdc, &lyrwin::PdfPrinter::AbortDoc);
}

extern "C" BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum,
                                     DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (pcbNeeded == nullptr || pcReturned == nullptr || (Level != 1 && Level != 2 && Level != 4)) {
    SetLastError(Level != 1 && Level != 2 && Level != 4 ? ERROR_INVALID_LEVEL
                                                        : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The printers of this machine and its connections; another server by name is not reached.
  if (Name != nullptr && Name[0] != '\0') {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  std::vector<lyrwin::PrintQueue> printers;
  if (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS | PRINTER_ENUM_DEFAULT))
    printers = lyrwin::Printers();
  if ((Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS)) == 0 && !printers.empty())
    printers.resize(1);  // PRINTER_ENUM_DEFAULT alone: the default printer
  const std::string server = lyrwin::PrintServerName();
  auto isServer = [](const lyrwin::PrintQueue& p) { return p.name != lyrwin::kPdfPrinterName; };
  using lyrwin::PrinterInfoWriter;
  switch (Level) {
    case 1:
      return lyrwin::EnumerateInto<PRINTER_INFO_1A>(
          printers, pPrinterEnum, cbBuf, pcbNeeded, pcReturned,
          [](const lyrwin::PrintQueue& p, PrinterInfoWriter* w, PRINTER_INFO_1A* info) {
            info->Flags = PRINTER_ENUM_ICON8;
            info->pDescription = w->Put(p.name + "," + p.model + "," + p.location);
            info->pName = w->Put(p.name);
            info->pComment = w->Put(p.info);
          });
    case 2:
      return lyrwin::EnumerateInto<PRINTER_INFO_2A>(
          printers, pPrinterEnum, cbBuf, pcbNeeded, pcReturned,
          [&](const lyrwin::PrintQueue& p, PrinterInfoWriter* w, PRINTER_INFO_2A* info) {
            *info = PRINTER_INFO_2A{};
            info->pServerName = isServer(p) ? w->Put(server) : nullptr;
            info->pPrinterName = w->Put(p.name);
            info->pShareName = w->Put("");
            info->pPortName = w->Put(p.uri);
            info->pDriverName = w->Put(p.model);
            info->pComment = w->Put(p.info);
            info->pLocation = w->Put(p.location);
            info->pPrintProcessor = w->Put("");
            info->pDatatype = w->Put("application/pdf");
            info->Attributes = (p.isDefault ? PRINTER_ATTRIBUTE_DEFAULT : 0) |
                               (isServer(p) ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL);
            info->Status = lyrwin::PrinterStatus(p);
          });
    default:
      return lyrwin::EnumerateInto<PRINTER_INFO_4A>(
          printers, pPrinterEnum, cbBuf, pcbNeeded, pcReturned,
          [&](const lyrwin::PrintQueue& p, PrinterInfoWriter* w, PRINTER_INFO_4A* info) {
            info->pPrinterName = w->Put(p.name);
            info->pServerName = isServer(p) ? w->Put(server) : nullptr;
            info->Attributes = (p.isDefault ? PRINTER_ATTRIBUTE_DEFAULT : 0) |
                               (isServer(p) ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL);
          });
  }
}

extern "C" BOOL WINAPI GetDefaultPrinterA(LPSTR pszBuffer, LPDWORD pcchBuffer) {
  if (pcchBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string name = lyrwin::Printers().front().name;
  const DWORD needed = static_cast<DWORD>(name.size() + 1);
  if (pszBuffer == nullptr || *pcchBuffer < needed) {
    *pcchBuffer = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(pszBuffer, name.c_str(), needed);
  *pcchBuffer = needed;
  return TRUE;
}

namespace lyrwin {
namespace {

// What OpenPrinterA's handle stands for: the printer's name as the list spells it.
struct OpenedPrinter : KernelObject {
  std::string name;
};

}  // namespace
}  // namespace lyrwin

extern "C" BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA) {
  if (pPrinterName == nullptr || phPrinter == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phPrinter = nullptr;
  for (const std::string& name : lyrwin::PrinterNames()) {
    if (!lyrwin::EqualNoCase(name, pPrinterName)) continue;
    auto printer = std::make_shared<lyrwin::OpenedPrinter>();
    printer->name = name;
    *phPrinter = lyrwin::InsertHandle(printer);
    return TRUE;
  }
  SetLastError(ERROR_INVALID_PRINTER_NAME);
  return FALSE;
}

extern "C" BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  if (!lyrwin::LookupHandleAs<lyrwin::OpenedPrinter>(hPrinter)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  lyrwin::RemoveHandle(hPrinter);
  return TRUE;
}
