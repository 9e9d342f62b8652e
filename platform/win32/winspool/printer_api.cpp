// Printer device contexts, their documents and pages. The stand-in has one printer, "LyrUtil PDF"
// (pdf_printer.h).
#include "gdi_objects.h"
#include "internal.h"

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

std::vector<std::string> PrinterNames() {
  return {kPdfPrinterName};
}

}  // namespace lyrwin

extern "C" HDC WINAPI CreateDCA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR, const DEVMODEA*) {
  const bool spooler = pszDriver == nullptr || lyrwin::EqualNoCase(pszDriver, "WINSPOOL");
  if (!spooler || pszDevice == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  for (const std::string& name : lyrwin::PrinterNames()) {
    if (!lyrwin::EqualNoCase(name, pszDevice)) continue;
    auto dc = lyrwin::NewDc();
    dc->printer = std::make_unique<lyrwin::PdfPrinter>(name);
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
