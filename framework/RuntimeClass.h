// CRuntimeClass: the little type information the program needs to ask of a
// window object met only through its handle whether it is of a given class
// (a menu walking its chain of parent windows).  Each class that takes part
// declares one static record naming its base class's record; the test walks
// that list, so it is exact and needs no table of objects.
#pragma once

#include <windows.h>

struct CRuntimeClass {
    LPCSTR m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;

    BOOL IsDerivedFrom(const CRuntimeClass* base) const
    {
        for (const CRuntimeClass* c = this; c; c = c->m_pBaseClass) {
            if (c == base)
                return TRUE;
        }
        return FALSE;
    }
};

#define RUNTIME_CLASS(cls) (&cls::class##cls)

// In the class body: the record and its virtual accessor.
#define DECLARE_RUNTIME_CLASS(cls)                                                                 \
public:                                                                                            \
    static const CRuntimeClass class##cls;                                                         \
    const CRuntimeClass* GetRuntimeClass() const override { return &class##cls; }

// In one source file.
#define IMPLEMENT_RUNTIME_CLASS(cls, base)                                                         \
    const CRuntimeClass cls::class##cls = {#cls, RUNTIME_CLASS(base)};
