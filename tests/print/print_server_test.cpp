// The print server's queues as printers: listed beside the PDF printer, the server's default the
// default, and a document sent to a queue arriving there as one complete PDF job, read back from
// a real cupsd's spool with poppler. A queue that refuses, a server that is gone and an abandoned
// document leave nothing half-sent.
#include "lyr_test.h"

#if LYR_POSIX_TESTS

#include "cups_server.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kQueues =
    "<DefaultPrinter lab1>\nInfo Bench printer\nLocation Room 12\nDeviceURI file:///dev/null\n"
    "State Idle\nAccepting Yes\nShared No\n</DefaultPrinter>\n"
    "<Printer paused1>\nDeviceURI file:///dev/null\nState Stopped\nAccepting Yes\nShared No\n"
    "</Printer>\n"
    "<Printer closed1>\nDeviceURI file:///dev/null\nState Idle\nAccepting No\nShared No\n"
    "</Printer>\n";

class PrintServerTest : public LyrTest {
 protected:
  // Prints one page with `text` on `printer`: EndDoc's result, and the document's fate.
  int PrintPage(const char* printer, const char* text, DWORD* why, std::string* job) {
    HDC dc = CreateDCA(nullptr, printer, nullptr, nullptr);
    if (dc == nullptr) return -100;
    DOCINFOA info = {sizeof info, "Run 42 report", nullptr, nullptr, 0};
    int result = StartDocA(dc, &info);
    if (result > 0) {
      StartPage(dc);
      TextOutA(dc, 100, 100, text, static_cast<int>(std::strlen(text)));
      EndPage(dc);
      result = EndDoc(dc);
    }
    *why = LyrLastDocument(job);
    DeleteDC(dc);
    return result;
  }
  std::vector<PRINTER_INFO_2A> Printers(std::vector<BYTE>* buffer) {
    DWORD needed = 0, count = 0;
    EXPECT_FAILS(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count),
                 ERROR_INSUFFICIENT_BUFFER);
    buffer->assign(needed, 0);
    EXPECT_TRUE(
        EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer->data(), needed, &needed, &count));
    std::vector<PRINTER_INFO_2A> printers(count);
    std::memcpy(printers.data(), buffer->data(), count * sizeof(PRINTER_INFO_2A));
    return printers;
  }
};

TEST_F(PrintServerTest, TheServersQueuesAreListedWithTheirStatesAndItsDefaultComesFirst) {
  std::vector<BYTE> buffer;
  std::vector<PRINTER_INFO_2A> alone = Printers(&buffer);  // no server: the PDF printer alone
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_STREQ(alone[0].pPrinterName, "LyrUtil PDF");
  EXPECT_EQ(alone[0].pServerName, nullptr);

  CupsServer server(Prefix() + "/cups", kQueues);
  ASSERT_TRUE(server.Running());
  std::vector<PRINTER_INFO_2A> printers = Printers(&buffer);
  ASSERT_EQ(printers.size(), 4u);
  // A handle on a queue, as a host opens one to ask about it; a name no printer has is refused.
  HANDLE opened = nullptr;
  EXPECT_TRUE(OpenPrinterA(const_cast<char*>("Lab1"), &opened, nullptr));
  EXPECT_TRUE(ClosePrinter(opened));
  EXPECT_FAILS(ClosePrinter(opened), ERROR_INVALID_HANDLE);
  EXPECT_FAILS(OpenPrinterA(const_cast<char*>("lab9"), &opened, nullptr),
               ERROR_INVALID_PRINTER_NAME);
  EXPECT_STREQ(printers[0].pPrinterName, "lab1");
  EXPECT_NE(printers[0].Attributes & PRINTER_ATTRIBUTE_DEFAULT, 0u);
  EXPECT_STREQ(printers[0].pComment, "Bench printer");
  EXPECT_STREQ(printers[0].pLocation, "Room 12");
  EXPECT_EQ(std::string(printers[0].pServerName), server.Address());
  for (const PRINTER_INFO_2A& p : printers) {
    const std::string name = p.pPrinterName;
    SCOPED_TRACE(name);
    EXPECT_EQ(p.Status, name == "paused1"   ? static_cast<DWORD>(PRINTER_STATUS_PAUSED)
                        : name == "closed1" ? static_cast<DWORD>(PRINTER_STATUS_NOT_AVAILABLE)
                                            : 0u);
    if (name == "LyrUtil PDF") {
      EXPECT_EQ(p.Attributes & PRINTER_ATTRIBUTE_DEFAULT, 0u);
    }
  }
  char name[64];
  DWORD size = 2;
  EXPECT_FALSE(GetDefaultPrinterA(name, &size));
  EXPECT_EQ(size, 5u);
  EXPECT_TRUE(GetDefaultPrinterA(name, &size));
  EXPECT_STREQ(name, "lab1");

  // Levels 1 and 4 name the same printers; other levels are refused.
  DWORD needed = 0, count = 0;
  buffer.assign(4096, 0);
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 4, buffer.data(), 4096, &needed, &count));
  ASSERT_EQ(count, 4u);
  std::string names;
  for (DWORD i = 0; i < count; ++i)
    names += std::string(reinterpret_cast<PRINTER_INFO_4A*>(buffer.data())[i].pPrinterName) + " ";
  EXPECT_EQ(names, "lab1 LyrUtil PDF closed1 paused1 ");
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, buffer.data(), 4096, &needed, &count));
  EXPECT_STREQ(reinterpret_cast<PRINTER_INFO_1A*>(buffer.data())[0].pName, "lab1");
  EXPECT_FAILS(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 3, buffer.data(), 4096, &needed, &count),
               ERROR_INVALID_LEVEL);

  // The print dialog offers them all, the server's default chosen.
  PRINTDLGA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
  ASSERT_TRUE(PrintDlgA(&dialog));
  DWORD why = 0;
  std::string job;
  DeleteDC(dialog.hDC);
  server.Stop();
  EXPECT_FAILS_AS(PrintPage("lab1", "gone", &why, &job), -100,
                  ERROR_INVALID_PRINTER_NAME);  // no server: no such printer
}

TEST_F(PrintServerTest, ADocumentArrivesAsOneCompletePdfJobNamedAfterIt) {
  CupsServer server(Prefix() + "/cups", kQueues);
  ASSERT_TRUE(server.Running());
  DWORD why = 0;
  std::string job;
  ASSERT_GT(PrintPage("LAB1", "Hello from the bench", &why, &job), 0);  // names match without case
  EXPECT_EQ(why, 0u);
  ASSERT_EQ(job, "lab1-1");
  const std::string document = server.JobDocument(1);
  ASSERT_EQ(document.compare(0, 5, "%PDF-"), 0);
  WriteHostFile(Prefix() + "/job1.pdf", document);
  std::string words;
  for (const PdfWord& word : PdfWords(Prefix() + "/job1.pdf")) words += word.text + " ";
  EXPECT_EQ(words, "Hello from the bench ");
  EXPECT_CONTAINS(server.JobControl(1), "Run 42 report");  // the job's name

  // A stopped queue holds the job: it is sent, and waits there.
  ASSERT_GT(PrintPage("paused1", "waits", &why, &job), 0);
  EXPECT_EQ(job, "paused1-2");
  EXPECT_EQ(server.JobCount(), 2);
  // A document that cannot be read to its end while it streams (a read after the first fails):
  // the job made for it is withdrawn, and EndDoc says why.
  HDC big = CreateDCA(nullptr, "lab1", nullptr, nullptr);
  DOCINFOA bigInfo = {sizeof bigInfo, "long report", nullptr, nullptr, 0};
  ASSERT_GT(StartDocA(big, &bigInfo), 0);
  unsigned value = 12345;
  for (int page = 0; page < 30; ++page) {
    StartPage(big);
    for (int line = 0; line < 80; ++line) {
      std::string text;
      while (text.size() < 90) text += std::to_string(value = value * 1103515245u + 12345u);
      TextOutA(big, 0, line * 83, text.c_str(), 90);
    }
    EndPage(big);
  }
  {
    ScopedSystemCallFault readFails("read", 2, 1, ENOMEM);
    EXPECT_EQ(EndDoc(big), SP_ERROR);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));  // not the server's
  DeleteDC(big);
  EXPECT_EQ(server.JobCount(), 2);

  // Nothing half-sent: a queue that refuses jobs, an abandoned document, a server gone at the end.
  EXPECT_EQ(PrintPage("closed1", "refused", &why, &job), SP_ERROR);
  EXPECT_EQ(why, static_cast<DWORD>(ERROR_NOT_READY));
  HDC dc = CreateDCA(nullptr, "lab1", nullptr, nullptr);
  DOCINFOA info = {sizeof info, "abandoned", nullptr, nullptr, 0};
  ASSERT_GT(StartDocA(dc, &info), 0);
  EXPECT_GT(AbortDoc(dc), 0);
  EXPECT_EQ(LyrLastDocument(nullptr), static_cast<DWORD>(ERROR_CANCELLED));
  ASSERT_GT(StartDocA(dc, &info), 0);
  server.Stop();
  EXPECT_FAILS_AS(EndDoc(dc), SP_ERROR, RPC_S_SERVER_UNAVAILABLE);
  DeleteDC(dc);
  EXPECT_EQ(server.JobCount(), 2);
  EXPECT_TRUE(HostFolderNames(Prefix() + "/spool").empty());  // no temporary left behind
}

// A driver (PPD) for a printer of US Letter paper with half-inch margins.
constexpr const char* kLetterPpd =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n"
    "*LanguageVersion: English\n*LanguageEncoding: ISOLatin1\n*PCFileName: \"LETTER1.PPD\"\n"
    "*Manufacturer: \"Bench\"\n*Product: \"(Bench)\"\n*ModelName: \"Bench Letter\"\n"
    "*ShortNickName: \"Bench Letter\"\n*NickName: \"Bench Letter\"\n"
    "*PSVersion: \"(3010.000) 0\"\n*LanguageLevel: \"3\"\n*ColorDevice: False\n"
    "*DefaultColorSpace: Gray\n*FileSystem: False\n*Throughput: \"1\"\n"
    "*LandscapeOrientation: Plus90\n*TTRasterizer: Type42\n"
    "*cupsFilter2: \"application/pdf application/pdf 0 -\"\n"
    "*OpenUI *PageSize/Media Size: PickOne\n*OrderDependency: 10 AnySetup *PageSize\n"
    "*DefaultPageSize: Letter\n*PageSize Letter/US Letter: \"<</PageSize[612 "
    "792]>>setpagedevice\"\n"
    "*CloseUI: *PageSize\n*OpenUI *PageRegion: PickOne\n"
    "*OrderDependency: 10 AnySetup *PageRegion\n*DefaultPageRegion: Letter\n"
    "*PageRegion Letter/US Letter: \"<</PageSize[612 792]>>setpagedevice\"\n"
    "*CloseUI: *PageRegion\n*DefaultImageableArea: Letter\n"
    "*ImageableArea Letter/US Letter: \"36 36 576 756\"\n*DefaultPaperDimension: Letter\n"
    "*PaperDimension Letter/US Letter: \"612 792\"\n";

// A queue whose driver names its paper gets pages of that paper, with its margins; a raw queue,
// which cannot say, gets A4.
TEST_F(PrintServerTest, AQueuePrintsOnThePaperItsDriverNames) {
  CupsServer server(Prefix() + "/cups",
                    std::string(kQueues) +
                        "<Printer letter1>\nDeviceURI file:///dev/null\nState Idle\nAccepting "
                        "Yes\nShared No\n</Printer>\n",
                    {{"letter1", kLetterPpd}});
  ASSERT_TRUE(server.Running());
  HDC letter = CreateDCA(nullptr, "letter1", nullptr, nullptr);
  ASSERT_NE(letter, nullptr);
  EXPECT_EQ(GetDeviceCaps(letter, PHYSICALWIDTH), 5100);  // 8.5 inches at 600 dots an inch
  EXPECT_EQ(GetDeviceCaps(letter, PHYSICALHEIGHT), 6600);
  EXPECT_EQ(GetDeviceCaps(letter, PHYSICALOFFSETX), 300);
  EXPECT_EQ(GetDeviceCaps(letter, HORZRES), 4500);
  EXPECT_EQ(GetDeviceCaps(letter, VERTRES), 6000);
  DeleteDC(letter);
  HDC raw = CreateDCA(nullptr, "lab1", nullptr, nullptr);
  EXPECT_EQ(GetDeviceCaps(raw, PHYSICALWIDTH), 4961);
  DeleteDC(raw);

  DWORD why = 0;
  std::string job;
  ASSERT_GT(PrintPage("letter1", "On letter paper", &why, &job), 0);
  ASSERT_EQ(job, "letter1-1");
  WriteHostFile(Prefix() + "/letter.pdf", server.JobDocument(1));
  EXPECT_CONTAINS(CommandOutput("pdfinfo '" + Prefix() + "/letter.pdf'"), "612 x 792 pts");
  const std::vector<PdfWord> words = PdfWords(Prefix() + "/letter.pdf");
  ASSERT_FALSE(words.empty());
  EXPECT_NEAR(words[0].xMin, 36 + 100 * 72.0 / 600, 1);  // inside the half-inch margin
}

}  // namespace

#endif
