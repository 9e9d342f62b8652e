// Extension-module registration: the chain of CDynLinkLibrary objects that MFC searches for
// resources and run-time classes. Thread-safe: the chain is guarded by one mutex.
#include <afx.h>

#include <mutex>

IMPLEMENT_DYNAMIC(CDynLinkLibrary, CObject)

namespace {
std::mutex g_chainMutex;
AFX_MODULE_STATE g_moduleState = {nullptr};
}  // namespace

AFX_MODULE_STATE* AfxGetModuleState() {
  return &g_moduleState;
}

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& state, HMODULE hModule) {
  if (state.bInitialized) return TRUE;
  state.bInitialized = TRUE;
  state.hModule = hModule;
  state.hResource = hModule;
  state.pFirstSharedClass = nullptr;
  state.pFirstSharedFactory = nullptr;
  return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& state, BOOL bAll) {
  if (!state.bInitialized) return;
  std::lock_guard<std::mutex> lock(g_chainMutex);
  CDynLinkLibrary** link = &g_moduleState.m_libraryList;
  while (*link) {
    CDynLinkLibrary* library = *link;
    if (bAll || library->m_hModule == state.hModule) {
      *link = library->m_pNextDLL;
      library->m_pNextDLL = nullptr;
      library->m_hModule = nullptr;  // tells the destructor it is already unlinked
      delete library;
    } else {
      link = &library->m_pNextDLL;
    }
  }
  state.bInitialized = FALSE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& state, BOOL bSystem)
    : m_hModule(state.hModule),
      m_hResource(state.hResource),
      m_pFirstSharedClass(state.pFirstSharedClass),
      m_bSystem(bSystem),
      m_pNextDLL(nullptr) {
  std::lock_guard<std::mutex> lock(g_chainMutex);
  m_pNextDLL = g_moduleState.m_libraryList;
  g_moduleState.m_libraryList = this;
}

CDynLinkLibrary::~CDynLinkLibrary() {
  if (m_hModule == nullptr) return;
  std::lock_guard<std::mutex> lock(g_chainMutex);
  for (CDynLinkLibrary** link = &g_moduleState.m_libraryList; *link; link = &(*link)->m_pNextDLL) {
    if (*link == this) {
      *link = m_pNextDLL;
      break;
    }
  }
}
