// The host seam: the host's string table, its user interface (the console by default) and the
// Win32 user-interface calls that go to it.
#include "internal.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <fstream>
#include <iostream>
#include <mutex>
#include <unistd.h>

namespace lyrwin {
namespace {

std::mutex g_stringMutex;
std::map<UINT, std::string> g_strings;  // guarded by g_stringMutex

// Messages go to standard error; on a terminal the user answers, elsewhere the default button
// does, as an unattended program would want.
class ConsoleUi final : public LyrHostUi {
 public:
  int ShowMessage(const char* text, UINT type, UINT helpId) override {
    (void)helpId;
    std::vector<int> buttons = Buttons(type & MB_TYPEMASK);
    size_t defaultIndex = ((type & MB_DEFMASK) >> 8);
    if (defaultIndex >= buttons.size()) defaultIndex = 0;
    std::fprintf(stderr, "%s\n", text ? text : "");
    if (!::isatty(0) || buttons.size() == 1) return buttons[defaultIndex];
    for (;;) {
      std::fprintf(stderr, "[");
      for (size_t i = 0; i < buttons.size(); ++i)
        std::fprintf(stderr, "%s%s", i ? "/" : "", Label(buttons[i]));
      std::fprintf(stderr, "] (Enter: %s) ", Label(buttons[defaultIndex]));
      std::string answer;
      if (!std::getline(std::cin, answer) || answer.empty()) return buttons[defaultIndex];
      for (int button : buttons) {
        if ((Label(button)[0] | 0x20) == (answer[0] | 0x20)) return button;
      }
    }
  }

  void Beep(UINT) override {
    if (::isatty(2)) std::fputc('\a', stderr);
  }

  // Shows every control's text; on a terminal the user may retype each enabled one (Enter keeps
  // it) and then confirms. Elsewhere the dialog closes with its default button, OK.
  int RunDialog(LyrDialog& dialog) override {
    for (int id : dialog.ControlIds())
      std::fprintf(stderr, "%s: %s\n", dialog.Enabled(id) ? "edit" : "text",
                   dialog.Text(id).c_str());
    if (!::isatty(0)) return IDOK;
    for (int id : dialog.ControlIds()) {
      if (!dialog.Enabled(id)) continue;
      std::fprintf(stderr, "new text (Enter keeps it): ");
      std::string line;
      if (!std::getline(std::cin, line)) return IDCANCEL;
      if (!line.empty()) dialog.Type(id, line);
    }
    std::fprintf(stderr, "[OK/Cancel] (Enter: OK) ");
    std::string answer;
    if (!std::getline(std::cin, answer)) return IDCANCEL;
    return !answer.empty() && (answer[0] | 0x20) == 'c' ? IDCANCEL : IDOK;
  }

  // On a terminal the user picks a printer by its number; elsewhere the default is taken.
  int ChoosePrinter(LyrPrintChoice& choice) override {
    if (!::isatty(0)) return IDOK;
    for (size_t i = 0; i < choice.Printers.size(); ++i)
      std::fprintf(stderr, "%zu. %s%s\n", i + 1, choice.Printers[i].c_str(),
                   choice.Printers[i] == choice.Printer ? " (default)" : "");
    for (;;) {
      std::fprintf(stderr, "Printer (Enter: the default, c: cancel): ");
      std::string answer;
      if (!std::getline(std::cin, answer)) return IDCANCEL;
      if (answer.empty()) return IDOK;
      if ((answer[0] | 0x20) == 'c') return IDCANCEL;
      const unsigned long number = std::strtoul(answer.c_str(), nullptr, 10);
      if (number >= 1 && number <= choice.Printers.size()) {
        choice.Printer = choice.Printers[number - 1];
        return IDOK;
      }
    }
  }

 private:
  static std::vector<int> Buttons(UINT kind) {
    switch (kind) {
      case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
      case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
      case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
      case MB_YESNO:
        return {IDYES, IDNO};
      case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
      default:
        return {IDOK};
    }
  }
  static const char* Label(int button) {
    switch (button) {
      case IDCANCEL:
        return "Cancel";
      case IDABORT:
        return "Abort";
      case IDRETRY:
        return "Retry";
      case IDIGNORE:
        return "Ignore";
      case IDYES:
        return "Yes";
      case IDNO:
        return "No";
      default:
        return "OK";
    }
  }
};

ConsoleUi g_consoleUi;
std::atomic<LyrHostUi*> g_hostUi{nullptr};

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char next = s[++i];
      out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

LyrHostUi* HostUi() {
  LyrHostUi* ui = g_hostUi.load();
  return ui ? ui : &g_consoleUi;
}

}  // namespace lyrwin

void LyrSetHostString(UINT id, const char* text) {
  std::lock_guard<std::mutex> lock(lyrwin::g_stringMutex);
  lyrwin::g_strings[id] = text ? text : "";
}

void LyrClearHostStrings() {
  std::lock_guard<std::mutex> lock(lyrwin::g_stringMutex);
  lyrwin::g_strings.clear();
}

BOOL LyrGetHostString(UINT id, std::string* text) {
  std::lock_guard<std::mutex> lock(lyrwin::g_stringMutex);
  auto it = lyrwin::g_strings.find(id);
  if (it == lyrwin::g_strings.end()) {
    text->clear();
    return FALSE;
  }
  *text = it->second;
  return TRUE;
}

BOOL LyrLoadHostStrings(const char* hostPath) {
  std::ifstream in(hostPath ? hostPath : "");
  if (!in) return FALSE;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0) continue;
    char* end = nullptr;
    unsigned long id = std::strtoul(line.c_str(), &end, 10);
    if (end != line.c_str() + tab || id > 0xFFFFFFFFul) continue;
    LyrSetHostString(static_cast<UINT>(id), lyrwin::Unescape(line.substr(tab + 1)).c_str());
  }
  return TRUE;
}

void LyrSetHostUi(LyrHostUi* ui) {
  lyrwin::g_hostUi.store(ui);
}
LyrHostUi* LyrGetHostUi() {
  return lyrwin::HostUi();
}

extern "C" BOOL WINAPI MessageBeep(UINT uType) {
  lyrwin::HostUi()->Beep(uType);
  return TRUE;
}

extern "C" HWND WINAPI GetForegroundWindow(void) {
  return lyrwin::HostUi()->ForegroundWindow();
}

extern "C" BOOL WINAPI SetForegroundWindow(HWND hWnd) {
  return lyrwin::HostUi()->SetForeground(hWnd);
}

extern "C" int WINAPI MessageBoxA(HWND, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  (void)lpCaption;
  return lyrwin::HostUi()->ShowMessage(lpText, uType, 0);
}
