// Documents of the stand-in's printer as PDF files. The file is written under a temporary name in
// its destination folder while the document is open; EndDoc finishes the PDF, flushes it to the
// disk and only then gives it its name, so a crash, a full disk or an abandoned document never
// leaves half a file where a reader looks.
#include "pdf_printer.h"

#include "internal.h"
#include "print_server.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cmath>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace lyrwin {
namespace {

constexpr double kPointsPerDot = 72.0 / PdfPrinter::kDotsPerInch;
constexpr double kFontPoints = 10;

std::atomic<int> g_nextJob{1};

constexpr const char* kTempStart = ".lyrprint-";
constexpr const char* kTempEnd = ".pdf.tmp";
// A temporary this old and held by no document is what a killed process left behind. Younger
// ones are left alone: a document takes its lock only just after creating the file.
constexpr time_t kLeftoverSeconds = 60;

// What became of the last document each thread started (LyrLastDocument).
struct Outcome {
  DWORD error = ERROR_NOT_FOUND;
  std::string path;
};
thread_local Outcome t_lastDocument;

void NoteOutcome(DWORD error, std::string path = std::string()) {
  t_lastDocument.error = error;
  t_lastDocument.path = std::move(path);
}

bool IsTemporaryName(const char* name) {
  const size_t length = std::strlen(name);
  const size_t start = std::strlen(kTempStart), end = std::strlen(kTempEnd);
  return length > start + end && std::strncmp(name, kTempStart, start) == 0 &&
         std::strcmp(name + length - end, kTempEnd) == 0;
}

// Removes the temporaries of documents whose writers died: every live document holds a lock on
// its own.
void SweepLeftovers(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    const std::string path = folder + "/" + entry->d_name;
    const int fd = OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st;
    if (lyrwin::sys::Fstat(fd, &st) == 0 && now - st.st_mtime > kLeftoverSeconds &&
        lyrwin::sys::Flock(fd, LOCK_EX | LOCK_NB) == 0)
      lyrwin::sys::Unlink(path.c_str());
    CloseRetrying(fd);
  }
  ::closedir(dir);
}

// A new temporary in `folder`, open for writing and locked for the document's life; -1 with
// errno set. The name is random, so that a leftover of a killed process whose number a new
// process now has never stands in its way.
int CreateTemporary(const std::string& folder, std::string* path) {
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[64];
    std::snprintf(name, sizeof name, "/%s%ld-%08x%08x%s", kTempStart, static_cast<long>(::getpid()),
                  random(), random(), kTempEnd);
    *path = folder + name;
    const int fd = OpenRetrying(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      lyrwin::sys::Flock(fd, LOCK_EX | LOCK_NB);
      return fd;
    }
    if (errno != EEXIST) break;
  }
  path->clear();
  return -1;
}

// The number of a name "NNNN.pdf" (digits only, any case of the extension); -1 otherwise.
long PrintedNumber(const char* name) {
  const size_t length = std::strlen(name);
  if (length < 5 || !EqualNoCase(name + length - 4, ".pdf")) return -1;
  long number = 0;
  for (size_t i = 0; i + 4 < length; ++i) {
    if (name[i] < '0' || name[i] > '9' || number > 100000000) return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

long HighestPrintedNumber(const std::string& folder) {
  long highest = 0;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  while (const dirent* entry = ::readdir(dir))
    highest = std::max(highest, PrintedNumber(entry->d_name));
  ::closedir(dir);
  return highest;
}

// Whether link() failed because the file system has no hard links (FAT, exFAT, many network and
// FUSE mounts), not because of the names.
bool NoHardLinks(int err) {
  return err == EPERM || err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS || err == EMLINK;
}

// Gives `temp` the name `to` unless a file has it: 0, EEXIST, or another errno. link() fails
// when the name exists; without hard links, the name is first taken by an exclusive create and
// then replaced by the finished file, which can only replace that empty placeholder.
int PublishUnlessTaken(const std::string& temp, const std::string& to) {
  if (lyrwin::sys::Link(temp.c_str(), to.c_str()) == 0) {
    lyrwin::sys::Unlink(temp.c_str());
    return 0;
  }
  if (!NoHardLinks(errno)) return errno;
  const int placeholder = OpenRetrying(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (placeholder < 0) return errno;
  CloseRetrying(placeholder);
  if (lyrwin::sys::Rename(temp.c_str(), to.c_str()) == 0) return 0;
  const int err = errno;
  lyrwin::sys::Unlink(to.c_str());
  return err;
}

// Gives the finished file at `temp` the next free number in `folder`, never replacing a file;
// `published` is its new path.
DWORD PublishNumbered(const std::string& temp, const std::string& folder, std::string* published) {
  long number = HighestPrintedNumber(folder) + 1;
  for (int attempt = 0; attempt < 1000; ++attempt, ++number) {
    char name[32];
    std::snprintf(name, sizeof name, "/%04ld.pdf", number);
    *published = folder + name;
    const int err = PublishUnlessTaken(temp, *published);
    if (err == 0) return 0;
    if (err != EEXIST) return Win32ErrorFromErrno(err);
    number = std::max(number, HighestPrintedNumber(folder));
  }
  return ERROR_FILE_EXISTS;
}

// Device units: dots from the printable area's top-left corner.
void UseDeviceUnits(cairo_t* cr, const PageGeometry& page) {
  cairo_identity_matrix(cr);
  cairo_scale(cr, kPointsPerDot, kPointsPerDot);
  cairo_translate(cr, page.left, page.top);
}

// A StartDoc that fails: the last error, the thread's outcome, and SP_ERROR.
int FailedStart(DWORD err) {
  SetLastError(err);
  NoteOutcome(err);
  return SP_ERROR;
}

}  // namespace

struct PdfPrinter::Document {
  std::string temp;    // the file being written
  std::string target;  // its name when done; empty: the next number in `folder`
  std::string folder;
  std::string queue;      // the print server's queue it goes to as a job, instead of a name
  std::string title;      // the job's name
  std::string published;  // the file's path once EndDoc has named it
  int fd = -1;
  int writeErrno = 0;
  bool discard = false;  // abandoned: cairo's last output goes nowhere
  bool inPage = false;
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;

  static cairo_status_t Write(void* closure, const unsigned char* data, unsigned int length) {
    auto* document = static_cast<Document*>(closure);
    if (document->discard) return CAIRO_STATUS_SUCCESS;
    if (document->writeErrno != 0) return CAIRO_STATUS_WRITE_ERROR;
    if (WriteAll(document->fd, data, length) != length) {
      document->writeErrno = errno != 0 ? errno : EIO;
      return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
  }

  ~Document() {
    discard = true;
    if (cr != nullptr) cairo_destroy(cr);
    if (surface != nullptr) cairo_surface_destroy(surface);
    if (fd >= 0) CloseRetrying(fd);
    if (!temp.empty()) lyrwin::sys::Unlink(temp.c_str());
  }

  // Finishes the PDF and gives it its name; 0 or a Win32 error (the file is then removed).
  DWORD Finish() {
    if (inPage) cairo_show_page(cr);
    cairo_destroy(cr);
    cr = nullptr;
    cairo_surface_finish(surface);
    const cairo_status_t status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    surface = nullptr;
    if (writeErrno != 0) return Win32ErrorFromErrno(writeErrno);
    if (status != CAIRO_STATUS_SUCCESS) return ERROR_GEN_FAILURE;
    if (!queue.empty()) return Submit();
    if (lyrwin::sys::Fsync(fd) != 0) return Win32ErrorFromErrno(errno);
    // The descriptor, and with it the temporary's lock, is kept until the file has its name.
    DWORD err = 0;
    if (target.empty())
      err = PublishNumbered(temp, folder, &published);
    else if (lyrwin::sys::Rename(temp.c_str(), target.c_str()) != 0)
      err = Win32ErrorFromErrno(errno);
    else
      published = target;
    if (err != 0) return err;
    temp.clear();
    CloseRetrying(fd);
    fd = -1;
    SyncFolder(folder);
    return 0;
  }

  // Sends the finished PDF to the queue as one job; the temporary goes either way.
  DWORD Submit() {
    int job = 0;
    const DWORD err = SubmitPdf(queue, title, temp, &job);
    if (err == 0) published = queue + "-" + std::to_string(job);
    return err;
  }
};

int PageGeometry::WidthDots() const {
  return static_cast<int>(std::lround(widthMm / 25.4 * PdfPrinter::kDotsPerInch));
}

int PageGeometry::HeightDots() const {
  return static_cast<int>(std::lround(heightMm / 25.4 * PdfPrinter::kDotsPerInch));
}

PdfPrinter::PdfPrinter(std::string name, std::string queue, PageGeometry page)
    : name_(std::move(name)), queue_(std::move(queue)), page_(page) {}

PdfPrinter::~PdfPrinter() {
  if (document_) NoteOutcome(ERROR_CANCELLED);  // deleted before EndDoc: thrown away
}

int PdfPrinter::GetDeviceCaps(int index) const {
  switch (index) {
    case TECHNOLOGY:
      return DT_RASPRINTER;
    case HORZRES:
      return page_.WidthDots() - page_.left - page_.right;
    case VERTRES:
      return page_.HeightDots() - page_.top - page_.bottom;
    case LOGPIXELSX:
    case LOGPIXELSY:
      return kDotsPerInch;
    case PHYSICALWIDTH:
      return page_.WidthDots();
    case PHYSICALHEIGHT:
      return page_.HeightDots();
    case PHYSICALOFFSETX:
      return page_.left;
    case PHYSICALOFFSETY:
      return page_.top;
    case BITSPIXEL:
      return 24;
    case RASTERCAPS:
      // What the stand-in's GDI does: SetDIBitsToDevice, StretchDIBits, bitmaps past 64 KB. No
      // BitBlt, no SetDIBits/GetDIBits, no palette device.
      return RC_DIBTODEV | RC_STRETCHDIB | RC_BITMAP64;
    default:
      return 0;
  }
}

int PdfPrinter::StartDoc(const DOCINFOA& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (document_) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  auto document = std::make_unique<Document>();
  if (info.lpszOutput != nullptr) {
    DosPath dos;
    HostPath host;
    DWORD err = ResolvePath(info.lpszOutput, &dos, &host);
    struct stat st;
    if (err == 0 && host.exists &&
        (host.isDirectory ||
         (lyrwin::sys::Stat(host.host.c_str(), &st) == 0 && IsReadOnlyMode(st.st_mode))))
      err = ERROR_ACCESS_DENIED;
    if (err != 0) return FailedStart(err);
    document->target = host.host;
    document->folder = HostFolderOf(host.host);
  } else {
    const std::string prefix = PrefixDir();
    // A job is written beside the installation's printed files until it is sent.
    document->folder = prefix + (queue_.empty() ? "/printed" : "/spool");
    document->queue = queue_;
    document->title = info.lpszDocName != nullptr && info.lpszDocName[0] != '\0'
                          ? AnsiToUtf8(info.lpszDocName)
                          : "LyrUtil document";
    if (prefix.empty() || (::mkdir(document->folder.c_str(), 0777) != 0 && errno != EEXIST))
      return FailedStart(SetLastErrorFromErrno());
  }
  // A hidden name in the same folder, so that the rename at the end stays on one file system.
  SweepLeftovers(document->folder);
  document->fd = CreateTemporary(document->folder, &document->temp);
  if (document->fd < 0) return FailedStart(SetLastErrorFromErrno());
  document->surface = cairo_pdf_surface_create_for_stream(
      &Document::Write, document.get(), page_.widthMm / 25.4 * 72, page_.heightMm / 25.4 * 72);
  document->cr = cairo_create(document->surface);
  if (cairo_status(document->cr) != CAIRO_STATUS_SUCCESS)
    return FailedStart(ERROR_NOT_ENOUGH_MEMORY);
  cairo_pdf_surface_set_metadata(document->surface, CAIRO_PDF_METADATA_CREATOR, "LyrUtil");
  if (info.lpszDocName != nullptr && info.lpszDocName[0] != '\0')
    cairo_pdf_surface_set_metadata(document->surface, CAIRO_PDF_METADATA_TITLE,
                                   AnsiToUtf8(info.lpszDocName).c_str());
  document_ = std::move(document);
  NoteOutcome(ERROR_IO_PENDING);
  return g_nextJob++;
}

int PdfPrinter::StartPage() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!document_ || document_->inPage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  document_->inPage = true;
  return 1;
}

int PdfPrinter::EndPage() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!document_ || !document_->inPage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  cairo_show_page(document_->cr);
  document_->inPage = false;
  return 1;
}

int PdfPrinter::EndDoc() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!document_) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  const DWORD err = document_->Finish();
  NoteOutcome(err, err == 0 ? document_->published : std::string());
  document_.reset();
  if (err != 0) {
    SetLastError(err);
    return SP_ERROR;
  }
  return 1;
}

int PdfPrinter::AbortDoc() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!document_) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  document_.reset();
  NoteOutcome(ERROR_CANCELLED);
  return 1;
}

bool PdfPrinter::Text(int x, int y, const std::string& ansi, COLORREF color) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!document_) return false;
  cairo_t* cr = document_->cr;
  cairo_save(cr);
  UseDeviceUnits(cr, page_);
  cairo_select_font_face(cr, "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, kFontPoints / kPointsPerDot);
  cairo_font_extents_t extents;
  cairo_font_extents(cr, &extents);
  cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0,
                       GetBValue(color) / 255.0);
  // The point given is the top left of the text's cell; cairo places the baseline.
  cairo_move_to(cr, x, y + extents.ascent);
  cairo_show_text(cr, PrintableUtf8(ansi).c_str());
  cairo_restore(cr);
  return true;
}

bool PdfPrinter::Image(int x, int y, int width, int height, const PageImage& image) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!document_) return false;
  if (image.width <= 0 || image.height <= 0 || width == 0 || height == 0) return true;
  cairo_surface_t* pixels =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height);
  if (cairo_surface_status(pixels) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(pixels);
    return false;
  }
  cairo_surface_flush(pixels);
  unsigned char* data = cairo_image_surface_get_data(pixels);
  const int stride = cairo_image_surface_get_stride(pixels);
  for (int row = 0; row < image.height; ++row)
    std::memcpy(data + static_cast<size_t>(row) * stride,
                image.pixels.data() + static_cast<size_t>(row) * image.width,
                static_cast<size_t>(image.width) * 4);
  cairo_surface_mark_dirty(pixels);
  cairo_t* cr = document_->cr;
  cairo_save(cr);
  UseDeviceUnits(cr, page_);
  cairo_translate(cr, x, y);
  cairo_scale(cr, static_cast<double>(width) / image.width,
              static_cast<double>(height) / image.height);
  cairo_set_source_surface(cr, pixels, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, 0, 0, image.width, image.height);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(pixels);
  return true;
}

}  // namespace lyrwin

DWORD LyrLastDocument(std::string* path) {
  if (path != nullptr) *path = lyrwin::t_lastDocument.path;
  return lyrwin::t_lastDocument.error;
}
