// Printing: CUtilPrintManager through the print dialog, and the stand-in's printer, whose PDF
// files are read back with poppler's tools (pdftotext, pdfinfo, pdfimages) as any reader would.
#include "lyr_test.h"

#if LYR_POSIX_TESTS  // the stand-in's PDF printer, read back with poppler-utils

#include <afxdlgs.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <atomic>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr double kPointsPerDot = 72.0 / 600;

// pdfinfo's "Key: value" lines.
std::map<std::string, std::string> InfoOf(const std::string& pdf) {
  std::map<std::string, std::string> info;
  const std::string text = CommandOutput("pdfinfo '" + pdf + "' 2>&1");
  static const std::regex line("([A-Za-z ]+):[ ]*([^\n]*)\n");
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it)
    info[(*it)[1]] = (*it)[2];
  return info;
}

class PrintTest : public LyrTest {
 protected:
  std::string Printed() const { return Prefix() + "/printed"; }
  CWnd parent_;
};

TEST_F(PrintTest, ThreeLinesMakeOnePageWithEachTextWhereItWasPut) {
  {
    CUtilPrintManager manager(&parent_);
    ASSERT_EQ(manager.OpenPrintSession(), 1);
    char first[] = "Sample";
    char second[] = "Injection";
    char third[] = "Report";
    manager.PrintString(first, 0, 0);
    manager.PrintString(second, 600, 100);  // one inch in, a line lower
    manager.PrintString(third, 1200, 200);
    manager.ClosePrintSession();
  }
  ASSERT_EQ(ui_.printDialogs.size(), 1u);
  EXPECT_EQ(ui_.printDialogs[0].Printers, std::vector<std::string>{"LyrUtil PDF"});
  EXPECT_EQ(ui_.printDialogs[0].Printer, "LyrUtil PDF");
  ASSERT_EQ(HostFolderNames(Printed()), std::vector<std::string>{"0001.pdf"});  // no temporary left
  const std::string pdf = Printed() + "/0001.pdf";

  std::map<std::string, std::string> info = InfoOf(pdf);
  EXPECT_EQ(info["Pages"], "1");
  EXPECT_EQ(info.count("Title"), 0u) << info["Title"];  // the empty document name
  EXPECT_CONTAINS(info["Page size"], "595.276 x 841.89");

  // Device units are dots at 600 per inch from the printable area, 150 dots inside the paper.
  const std::vector<PdfWord> words = PdfWords(pdf);
  ASSERT_EQ(words.size(), 3u);
  const struct {
    const char* text;
    int x, y;
  } expected[] = {{"Sample", 0, 0}, {"Injection", 600, 100}, {"Report", 1200, 200}};
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(expected[i].text);
    EXPECT_EQ(words[i].text, expected[i].text);
    EXPECT_NEAR(words[i].xMin, (150 + expected[i].x) * kPointsPerDot, 1.0);
    EXPECT_NEAR(words[i].yMin, (150 + expected[i].y) * kPointsPerDot, 1.0);
    // A 10-point monospaced font: a cell about 10 to 12 points high, 6 points a character.
    EXPECT_NEAR(words[i].yMax - words[i].yMin, 11.5, 1.5);
    EXPECT_NEAR((words[i].xMax - words[i].xMin) / words[i].text.size(), 6.0, 0.5);
  }
}

TEST_F(PrintTest, NoParentCancelOrAFailedStartShowNothingAndPrintNothing) {
  {
    CUtilPrintManager orphan(nullptr);
    EXPECT_EQ(orphan.OpenPrintSession(), 0);
    EXPECT_TRUE(ui_.printDialogs.empty());  // no dialog shown
  }
  {
    ui_.printerScript = [](LyrPrintChoice&) { return IDCANCEL; };
    CUtilPrintManager manager(&parent_);
    EXPECT_EQ(manager.OpenPrintSession(), 0);
    EXPECT_EQ(ui_.printDialogs.size(), 1u);
    char text[] = "never";
    manager.PrintString(text, 0, 0);  // no session: nothing happens
    manager.ClosePrintSession();
  }  // the destructor deletes the dialog (the leak checker watches)
  ui_.printerScript = nullptr;
  {
    // The printer cannot write its folder: a file stands where it would be.
    WriteHostFile(Printed(), "not a folder");
    CUtilPrintManager manager(&parent_);
    EXPECT_EQ(manager.OpenPrintSession(), 0);
    char text[] = "lost";
    manager.PrintString(text, 0, 0);
    manager.ClosePrintSession();
    EXPECT_EQ(manager.OpenPrintSession(), 0);  // a second try shows the dialog again
    EXPECT_EQ(ui_.printDialogs.size(), 3u);
  }
  EXPECT_EQ(ReadHostFile(Printed()), "not a folder");
}

TEST_F(PrintTest, SessionsNotClosedAreDeliveredAndNumberedOnNeverOverwriting) {
  ::mkdir(Printed().c_str(), 0777);
  WriteHostFile(Printed() + "/0007.pdf", "someone else's");
  WriteHostFile(Printed() + "/notes.txt", "x");
  char text[] = "first";
  {
    CUtilPrintManager manager(&parent_);
    ASSERT_EQ(manager.OpenPrintSession(), 1);
    manager.PrintString(text, 0, 0);
    ASSERT_EQ(manager.OpenPrintSession(), 1);  // the first session ends here
    char again[] = "second";
    manager.PrintString(again, 0, 0);
  }  // and the second here
  EXPECT_EQ(HostFolderNames(Printed()),
            (std::vector<std::string>{"0007.pdf", "0008.pdf", "0009.pdf", "notes.txt"}));
  EXPECT_EQ(ReadHostFile(Printed() + "/0007.pdf"), "someone else's");
  ASSERT_EQ(PdfWords(Printed() + "/0008.pdf").size(), 1u);
  EXPECT_EQ(PdfWords(Printed() + "/0008.pdf")[0].text, "first");
  ASSERT_EQ(PdfWords(Printed() + "/0009.pdf").size(), 1u);
  EXPECT_EQ(PdfWords(Printed() + "/0009.pdf")[0].text, "second");
}

// The stand-in's printer through the Win32 calls a host makes itself.
TEST_F(PrintTest, ADocumentAppearsWholeAtEndDocAndAnAbandonedOneLeavesNothing) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Out", nullptr));
  const std::string out = DriveC() + "/Out";
  HDC dc = CreateDCA(nullptr, "lyrutil pdf", nullptr, nullptr);  // names match without case
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 600);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 4961);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALHEIGHT), 7016);
  EXPECT_EQ(GetDeviceCaps(dc, RASTERCAPS), RC_DIBTODEV | RC_STRETCHDIB | RC_BITMAP64);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETX), 150);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 4961 - 300);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 7016 - 300);
  EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);

  DOCINFOA info = {};
  info.cbSize = sizeof info;
  info.lpszDocName = "Run 12 \xE9t\xE9";  // code page 1252
  info.lpszOutput = "C:\\Out\\report.pdf";
  ASSERT_GT(StartDocA(dc, &info), 0);
  EXPECT_EQ(StartDocA(dc, &info), SP_ERROR);  // one document at a time
  ASSERT_GT(StartPage(dc), 0);
  EXPECT_TRUE(TextOutA(dc, 100, 100, "Page\x80one", 8));
  ASSERT_GT(EndPage(dc), 0);
  ASSERT_GT(StartPage(dc), 0);
  EXPECT_TRUE(TextOutA(dc, 100, 100, "two", 3));
  ASSERT_GT(EndPage(dc), 0);
  EXPECT_EQ(HostFolderNames(out).size(), 1u);  // only the hidden temporary so far
  EXPECT_FALSE(HostFileExists(out + "/report.pdf"));
  ASSERT_GT(EndDoc(dc), 0);
  EXPECT_EQ(HostFolderNames(out), std::vector<std::string>{"report.pdf"});
  std::map<std::string, std::string> meta = InfoOf(out + "/report.pdf");
  EXPECT_EQ(meta["Pages"], "2");
  EXPECT_EQ(meta["Title"], "Run 12 \xC3\xA9t\xC3\xA9");
  const std::vector<PdfWord> words = PdfWords(out + "/report.pdf");
  ASSERT_EQ(words.size(), 2u);
  EXPECT_EQ(words[0].text, "Page\xE2\x82\xACone");  // the euro sign of 1252

  // Aborted, or the DC deleted before EndDoc: nothing, not even the temporary, remains.
  info.lpszOutput = "C:\\Out\\aborted.pdf";
  ASSERT_GT(StartDocA(dc, &info), 0);
  StartPage(dc);
  TextOutA(dc, 0, 0, "x", 1);
  EXPECT_GT(AbortDoc(dc), 0);
  EXPECT_EQ(EndDoc(dc), SP_ERROR);
  info.lpszOutput = "C:\\Out\\unfinished.pdf";
  ASSERT_GT(StartDocA(dc, &info), 0);
  StartPage(dc);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(HostFolderNames(out), std::vector<std::string>{"report.pdf"});
}

// "Cancel printing": another thread ends or abandons the document while one draws on the DC. The
// drawer's next call fails; the ended document is whole, the abandoned one leaves nothing.
TEST_F(PrintTest, EndingADocumentWhileAnotherThreadDrawsStopsTheDrawer) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Out", nullptr));
  HDC dc = CreateDCA(nullptr, "LyrUtil PDF", nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  for (int round = 0; round < 20; ++round) {
    const bool abandon = round % 2 == 1;
    const std::string name = "C:\\Out\\r" + std::to_string(round) + ".pdf";
    DOCINFOA info = {sizeof info, "race", name.c_str(), nullptr, 0};
    ASSERT_GT(StartDocA(dc, &info), 0);
    ASSERT_GT(StartPage(dc), 0);
    std::atomic<int> drawn{0};
    std::thread drawer([&] {
      while (TextOutA(dc, 100, 100 + drawn % 50 * 100, "cancel me", 9)) ++drawn;
    });
    while (drawn < 5) std::this_thread::yield();
    if (abandon) {
      EXPECT_GT(AbortDoc(dc), 0);
    } else {
      EXPECT_GT(EndDoc(dc), 0);  // the page under way ends with it
    }
    drawer.join();
    const std::string host = DriveC() + "/Out/r" + std::to_string(round) + ".pdf";
    EXPECT_EQ(HostFileExists(host), !abandon) << round;
    if (!abandon) {
      EXPECT_EQ(InfoOf(host)["Pages"], "1") << round;
    }
  }
  DeleteDC(dc);
  EXPECT_EQ(HostFolderNames(DriveC() + "/Out").size(), 10u);  // no temporaries left
}

// A killed writer's temporary is swept by the next document once it is a minute old; a fresh
// one may be a document under way and stays. Hosts learn each document's fate.
TEST_F(PrintTest, LeftoverTemporariesAreSweptAndEachDocumentsFateIsKnown) {
  std::thread([] {  // a thread that has started no document
    EXPECT_EQ(LyrLastDocument(nullptr), static_cast<DWORD>(ERROR_NOT_FOUND));
  })
      .join();
  ASSERT_EQ(::mkdir(Printed().c_str(), 0777), 0);
  const std::string old = Printed() + "/.lyrprint-" + std::to_string(::getpid()) + "-0.pdf.tmp";
  const std::string fresh = Printed() + "/.lyrprint-1-1.pdf.tmp";
  WriteHostFile(old, "%PDF-1.5 half");
  WriteHostFile(fresh, "%PDF-1.5 half");
  const struct timespec twoHoursAgo[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, old.c_str(), twoHoursAgo, 0), 0);
  HDC dc = CreateDCA(nullptr, "LyrUtil PDF", nullptr, nullptr);
  DOCINFOA info = {sizeof info, "fate", nullptr, nullptr, 0};
  ASSERT_GT(StartDocA(dc, &info), 0);
  EXPECT_EQ(LyrLastDocument(nullptr), static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_FALSE(HostFileExists(old));
  EXPECT_TRUE(HostFileExists(fresh));
  ASSERT_GT(EndDoc(dc), 0);
  std::string path;
  EXPECT_EQ(LyrLastDocument(&path), 0u);
  EXPECT_EQ(path, Printed() + "/0001.pdf");
  ASSERT_GT(StartDocA(dc, &info), 0);
  AbortDoc(dc);
  EXPECT_EQ(LyrLastDocument(nullptr), static_cast<DWORD>(ERROR_CANCELLED));
  DeleteDC(dc);
}

TEST_F(PrintTest, UnwritableOutputsFailAtStartDocAndAFullDiskAtEndDoc) {
  HDC dc = CreateDCA("WINSPOOL", "LyrUtil PDF", nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  DOCINFOA info = {};
  info.cbSize = sizeof info;
  info.lpszOutput = "C:\\Missing\\report.pdf";
  EXPECT_FAILS_AS(StartDocA(dc, &info), SP_ERROR, ERROR_PATH_NOT_FOUND);
  info.lpszOutput = "C:\\";
  EXPECT_FAILS_AS(StartDocA(dc, &info), SP_ERROR, ERROR_ACCESS_DENIED);
  EXPECT_EQ(StartPage(dc), SP_ERROR);  // no document
  EXPECT_FALSE(TextOutA(dc, 0, 0, "x", 1));

  // The old report stays whole when the new one cannot be written in full.
  WriteHostFile(DriveC() + "/report.pdf", "the old report");
  info.lpszOutput = "C:\\report.pdf";
  ASSERT_GT(StartDocA(dc, &info), 0);
  StartPage(dc);
  for (int line = 0; line < 60; ++line)
    TextOutA(dc, 0, line * 100, "A line of a long report that does not fit", 42);
  int ended;
  DWORD error;
  {
    ScopedFileSizeLimit full(2000);
    ended = EndDoc(dc);
    error = GetLastError();
  }
  EXPECT_EQ(ended, SP_ERROR);
  EXPECT_TRUE(error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) << error;
  EXPECT_EQ(ReadHostFile(DriveC() + "/report.pdf"), "the old report");
  for (const std::string& name : HostFolderNames(DriveC())) EXPECT_LACKS(name, "lyrprint");
  DeleteDC(dc);

  EXPECT_FAILS_AS(CreateDCA(nullptr, "No Such Printer", nullptr, nullptr), nullptr,
                  ERROR_INVALID_PRINTER_NAME);
}

TEST_F(PrintTest, ThePrintDialogAsksTheHostAndReturnsTheChosenPrintersDc) {
  CPrintDialog dialog(FALSE, 0, &parent_);
  EXPECT_NE(dialog.m_pd.Flags & PD_RETURNDC, 0u);
  EXPECT_EQ(dialog.GetPrinterDC(), nullptr);
  ASSERT_EQ(dialog.DoModal(), IDOK);
  HDC dc = dialog.GetPrinterDC();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 600);
  DeleteDC(dc);

  ui_.printerScript = [](LyrPrintChoice& choice) {
    choice.Printer = "Elsewhere";
    return IDOK;
  };
  PRINTDLGA pd = {};
  pd.lStructSize = sizeof pd;
  pd.Flags = PD_RETURNDC;
  EXPECT_FALSE(PrintDlgA(&pd));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(PDERR_PRINTERNOTFOUND));
  EXPECT_EQ(pd.hDC, nullptr);
  pd.Flags = PD_RETURNDC | PD_RETURNDEFAULT;  // the default, without asking
  const size_t asked = ui_.printDialogs.size();
  ASSERT_TRUE(PrintDlgA(&pd));
  EXPECT_EQ(ui_.printDialogs.size(), asked);
  EXPECT_NE(pd.hDC, nullptr);
  DeleteDC(pd.hDC);
  pd.lStructSize = 12;
  EXPECT_FALSE(PrintDlgA(&pd));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
}

// A 24-bit bottom-up DIB whose every pixel tells where it is.
COLORREF PatternAt(int x, int y) {
  return RGB(x * 6, y * 10, (x + y) * 3);
}

HDIB PatternDib(int width, int height) {
  const DWORD stride = ((24 * static_cast<DWORD>(width) + 31) / 32) * 4;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                              sizeof(BITMAPINFOHEADER) + stride * static_cast<DWORD>(height));
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  auto* bits = reinterpret_cast<BYTE*>(header + 1);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      BYTE* p = bits + static_cast<DWORD>(height - 1 - y) * stride + 3 * x;
      p[0] = GetBValue(PatternAt(x, y));
      p[1] = GetGValue(PatternAt(x, y));
      p[2] = GetRValue(PatternAt(x, y));
    }
  GlobalUnlock(block);
  return reinterpret_cast<HDIB>(block);
}

TEST_F(PrintTest, PaintDibPutsThePictureOnThePageAtItsOwnResolution) {
  HDIB dib = PatternDib(37, 23);
  HDC dc = CreateDCA(nullptr, "LyrUtil PDF", nullptr, nullptr);
  DOCINFOA info = {};
  info.cbSize = sizeof info;
  info.lpszOutput = "C:\\picture.pdf";
  ASSERT_GT(StartDocA(dc, &info), 0);
  StartPage(dc);
  RECT source = {0, 0, 37, 23};
  RECT same = {600, 600, 600 + 37, 600 + 23};
  RECT stretched = {600, 1200, 600 + 370, 1200 + 230};
  EXPECT_TRUE(PaintDIB(dc, &same, dib, &source, nullptr));
  EXPECT_TRUE(PaintDIB(dc, &stretched, dib, &source, nullptr));
  // A rectangle starting three columns left of the picture: the picture lands where it falls,
  // whole, three device units right of the rectangle's corner.
  auto* packed = static_cast<char*>(GlobalLock(dib));
  EXPECT_EQ(SetDIBitsToDevice(dc, 600, 2000, 40, 23, -3, 0, 0, 23, FindDIBBits(packed),
                              reinterpret_cast<BITMAPINFO*>(packed), DIB_RGB_COLORS),
            23);
  GlobalUnlock(dib);
  EndPage(dc);
  ASSERT_GT(EndDoc(dc), 0);
  DeleteDC(dc);
  GlobalFree(dib);

  // pdfimages -list: page num type width height color comp bpc enc interp object ID x-ppi y-ppi
  const std::string pdf = DriveC() + "/picture.pdf";
  const std::string list = CommandOutput("pdfimages -list '" + pdf + "' 2>&1");
  static const std::regex row(
      "\\n +1 +[0-9]+ +image +([0-9]+) +([0-9]+) +rgb +3 +8 +[a-z]+ +(no|yes) +[0-9]+ +[0-9]+ "
      "+([0-9]+) "
      "+([0-9]+)");
  std::vector<std::vector<int>> images;
  for (std::sregex_iterator it(list.begin(), list.end(), row), end; it != end; ++it)
    images.push_back(
        {std::stoi((*it)[1]), std::stoi((*it)[2]), std::stoi((*it)[4]), std::stoi((*it)[5])});
  ASSERT_EQ(images.size(), 3u) << list;
  EXPECT_EQ(images[0], (std::vector<int>{37, 23, 600, 600}));  // one dot a pixel
  EXPECT_EQ(images[1], (std::vector<int>{37, 23, 60, 60}));    // ten dots a pixel
  EXPECT_EQ(images[2], (std::vector<int>{37, 23, 600, 600}));

  // The image's own pixels, as poppler extracts them, are the DIB's.
  const std::string root = Prefix() + "/extracted";
  CommandOutput("pdfimages '" + pdf + "' '" + root + "'");
  for (const char* name : {"-000.ppm", "-002.ppm"}) {
    SCOPED_TRACE(name);
    const std::string ppm = ReadHostFile(root + name);
    const std::string head = "P6\n37 23\n255\n";
    ASSERT_EQ(ppm.compare(0, head.size(), head), 0) << ppm.substr(0, 20);
    ASSERT_EQ(ppm.size(), head.size() + 37 * 23 * 3);
    int wrong = 0;
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 37; ++x) {
        const unsigned char* p =
            reinterpret_cast<const unsigned char*>(ppm.data()) + head.size() + 3 * (y * 37 + x);
        wrong += RGB(p[0], p[1], p[2]) != PatternAt(x, y);
      }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(PrintTest, TextOnAMemoryDcFallsInsideItsCellInTheTextColour) {
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = 120;
  bmi.bmiHeader.biHeight = -40;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  SelectObject(dc, bitmap);
  EXPECT_EQ(SetTextColor(dc, RGB(200, 0, 0)), RGB(0, 0, 0));  // black by default
  ASSERT_TRUE(TextOutA(dc, 10, 5, "Hg|", 3));
  // 10 points at 96 dots per inch: cells about 8 pixels wide and 16 high.
  int inside = 0, outside = 0, other = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const COLORREF c = GetPixel(dc, x, y);
      if (c == RGB(0, 0, 0)) continue;
      other += c != RGB(200, 0, 0);
      (x >= 10 && x < 10 + 3 * 9 && y >= 5 && y < 5 + 17 ? inside : outside)++;
    }
  EXPECT_GT(inside, 30);
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(other, 0);  // no blended edges
  // Text partly off the bitmap is clipped, not wrapped or dropped.
  EXPECT_TRUE(TextOutA(dc, -4, 30, "clipped", 7));
  EXPECT_NE(GetPixel(dc, 0, 36) | GetPixel(dc, 1, 36) | GetPixel(dc, 2, 36) | GetPixel(dc, 3, 36) |
                GetPixel(dc, 8, 36) | GetPixel(dc, 9, 36),
            0u);
  DeleteDC(dc);
  DeleteObject(bitmap);
}

}  // namespace

#endif  // LYR_POSIX_TESTS
