// Puts a function of the test's own in place of one Win32 function that this
// test program imports (its import address table), and puts the original
// back at destruction.  The engine is linked into the test program, so its
// calls of, say, PlaySoundA or SetTimer go through the replacement: the test
// records them (and usually passes them on to the original).
#pragma once

#include <windows.h>

namespace tpx::test {

class ImportHook {
public:
    ImportHook(const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool Installed() const { return m_slot != nullptr; }
    // The function the slot held before.
    template <class F>
    F Original() const { return reinterpret_cast<F>(m_original); }

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};

}  // namespace tpx::test
