// Documents of the stand-in's printer when the kernel fails them (LyrFailSystemCall): a document
// that cannot reach the disk is never published and leaves nothing behind; a file system without
// hard links still gets its documents.
#include "lyr_test.h"

#if LYR_POSIX_TESTS

#include <cerrno>
#include <string>
#include <vector>

namespace {

using Fault = ScopedSystemCallFault;

class PrintFaultTest : public LyrTest {
 protected:
  // Prints a one-line document, to `output` when given, else to the numbered folder; EndDoc's
  // result.
  static int PrintOneLine(const char* output) {
    HDC dc = CreateDCA(nullptr, "LyrUtil PDF", nullptr, nullptr);
    DOCINFOA info = {};
    info.cbSize = sizeof info;
    info.lpszOutput = output;
    EXPECT_GT(StartDocA(dc, &info), 0);
    StartPage(dc);
    TextOutA(dc, 100, 100, "Assay", 5);
    EndPage(dc);
    const int ended = EndDoc(dc);
    DeleteDC(dc);
    return ended;
  }
};

TEST_F(PrintFaultTest, ADocumentThatCannotReachTheDiskIsNotPublished) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Out", nullptr));
  {
    Fault lost("fsync", 1, 1, EIO);
    EXPECT_LE(PrintOneLine("C:\\Out\\report.pdf"), 0);
  }
  std::string path;
  EXPECT_NE(LyrLastDocument(&path), 0u);
  EXPECT_TRUE(
      HostFolderNames(DriveC() + "/Out").empty());  // neither the document nor its temporary
}

TEST_F(PrintFaultTest, ARenameThatFailsLeavesNeitherDocumentNorPlaceholder) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Out", nullptr));
  {
    Fault refused("rename", 1, 1, EIO);
    EXPECT_LE(PrintOneLine("C:\\Out\\report.pdf"), 0);
  }
  EXPECT_TRUE(HostFolderNames(DriveC() + "/Out").empty());
  {
    // Numbered: no hard links, so a placeholder takes the number first; the rename that would
    // replace it fails, and the placeholder goes too.
    Fault noLinks("link", 1, 1, EPERM);
    Fault refused("rename", 1, 1, EIO);
    EXPECT_LE(PrintOneLine(nullptr), 0);
  }
  EXPECT_TRUE(HostFolderNames(Prefix() + "/printed").empty());
}

TEST_F(PrintFaultTest, AFileSystemWithoutHardLinksStillGetsItsDocuments) {
  {
    Fault noLinks("link", 1, 2, EPERM);
    EXPECT_GT(PrintOneLine(nullptr), 0);
    EXPECT_GT(PrintOneLine(nullptr), 0);
  }
  EXPECT_EQ(HostFolderNames(Prefix() + "/printed").size(), 2u);
  std::string path;
  ASSERT_EQ(LyrLastDocument(&path), 0u);
  EXPECT_EQ(ReadHostFile(path).compare(0, 5, "%PDF-"), 0);
}

}  // namespace

#endif  // LYR_POSIX_TESTS
