// The Windows loader's part on Linux: compiled into each library of ours that has a DllMain, it
// calls DllMain with DLL_PROCESS_ATTACH when the shared object is loaded and DLL_PROCESS_DETACH
// when it is unloaded. The module handle is an address inside the object, unique to it.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);

namespace {

char g_moduleAnchor;

HINSTANCE ModuleHandle() {
  return reinterpret_cast<HINSTANCE>(&g_moduleAnchor);
}

struct LoaderNotifications {
  LoaderNotifications() { DllMain(ModuleHandle(), DLL_PROCESS_ATTACH, nullptr); }
  ~LoaderNotifications() { DllMain(ModuleHandle(), DLL_PROCESS_DETACH, nullptr); }
} g_loaderNotifications;

}  // namespace
