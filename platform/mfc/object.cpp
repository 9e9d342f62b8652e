// CObject, run-time classes and their registry.
#include <afx.h>

#include <cstring>
#include <mutex>

namespace {
std::mutex g_classMutex;
CRuntimeClass* g_firstClass = nullptr;  // guarded by g_classMutex
}  // namespace

CRuntimeClass CObject::classCObject = {"CObject", sizeof(CObject), 0xFFFF,
                                       nullptr,   nullptr,         nullptr};
static AFX_CLASSINIT _init_CObject(&CObject::classCObject);

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* pNewClass) {
  std::lock_guard<std::mutex> lock(g_classMutex);
  pNewClass->m_pNextClass = g_firstClass;
  g_firstClass = pNewClass;
}

CObject* CRuntimeClass::CreateObject() {
  return m_pfnCreateObject ? m_pfnCreateObject() : nullptr;
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const {
  for (const CRuntimeClass* c = this; c != nullptr; c = c->m_pBaseClass) {
    if (c == pBaseClass) return TRUE;
  }
  return FALSE;
}

CRuntimeClass* CRuntimeClass::FromName(LPCSTR lpszClassName) {
  std::lock_guard<std::mutex> lock(g_classMutex);
  for (CRuntimeClass* c = g_firstClass; c != nullptr; c = c->m_pNextClass) {
    if (std::strcmp(c->m_lpszClassName, lpszClassName) == 0) return c;
  }
  return nullptr;
}

CObject::CObject() = default;
CObject::~CObject() = default;
CRuntimeClass* CObject::GetRuntimeClass() const {
  return &classCObject;
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const {
  return GetRuntimeClass()->IsDerivedFrom(pClass);
}
