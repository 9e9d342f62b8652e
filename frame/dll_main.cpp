// The library's entry point: it registers itself as an MFC extension module on load, so that the
// host's resource and run-time class lookups include it, and deregisters on unload.
#include <afx.h>

namespace {
AFX_EXTENSION_MODULE g_lyrUtilModule = {FALSE, nullptr, nullptr, nullptr, nullptr};
}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
  if (dwReason == DLL_PROCESS_ATTACH) {
    AfxInitExtensionModule(g_lyrUtilModule, hInstance);
    new CDynLinkLibrary(g_lyrUtilModule);  // the chain owns it; AfxTermExtensionModule frees it
  } else if (dwReason == DLL_PROCESS_DETACH) {
    AfxTermExtensionModule(g_lyrUtilModule);
  }
  return 1;
}
