// The handle owners release exactly once, hand ownership over on move, and
// the selection guard puts back what it replaced.
#include <gtest/gtest.h>

#include "framework/Handles.h"

namespace {

bool HandleIsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

}  // namespace

TEST(HandleOwners, KernelHandleClosesOnDestructionAndReset)
{
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, raw);
    {
        CKernelHandle owner(raw);
        EXPECT_TRUE(owner.IsValid());
        EXPECT_TRUE(HandleIsOpen(raw));
    }
    EXPECT_FALSE(HandleIsOpen(raw));

    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CKernelHandle owner(first);
    owner.Reset(second);
    EXPECT_FALSE(HandleIsOpen(first));
    EXPECT_TRUE(HandleIsOpen(second));
    owner.Reset(second);   // the same handle again: kept, not closed
    EXPECT_TRUE(HandleIsOpen(second));
    EXPECT_EQ(second, owner.Release());
    EXPECT_FALSE(owner.IsValid());
    EXPECT_TRUE(HandleIsOpen(second));
    CloseHandle(second);
}

TEST(HandleOwners, MoveTransfersOwnership)
{
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    CKernelHandle a(raw);
    CKernelHandle b(std::move(a));
    EXPECT_FALSE(a.IsValid());
    EXPECT_EQ(raw, b.Get());
    CKernelHandle c;
    c = std::move(b);
    EXPECT_FALSE(b.IsValid());
    EXPECT_TRUE(HandleIsOpen(raw));
    c.Reset();
    EXPECT_FALSE(HandleIsOpen(raw));
}

TEST(HandleOwners, FileHandleTreatsInvalidValueAsEmpty)
{
    CFileHandle none(CreateFileA("Z:\\surely\\missing\\file", GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(none.IsValid());
    CFileHandle moved(std::move(none));   // nothing to close, nothing crashes
    EXPECT_FALSE(moved.IsValid());
}

TEST(HandleOwners, GdiObjectsAreDeleted)
{
    HBRUSH raw = CreateSolidBrush(RGB(1, 2, 3));
    {
        CBrushHandle brush(raw);
        EXPECT_EQ(OBJ_BRUSH, static_cast<int>(GetObjectType(raw)));
    }
    EXPECT_EQ(0u, GetObjectType(raw));
}

TEST(SelectObjectGuard, RestoresThePreviousObject)
{
    CDCHandle dc(CreateCompatibleDC(nullptr));
    ASSERT_TRUE(dc.IsValid());
    HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BRUSH);
    CBrushHandle brush(CreateSolidBrush(RGB(200, 0, 0)));
    {
        CSelectObjectGuard guard(dc.Get(), brush.Get());
        EXPECT_EQ(brush.Get(), GetCurrentObject(dc.Get(), OBJ_BRUSH));
    }
    EXPECT_EQ(original, GetCurrentObject(dc.Get(), OBJ_BRUSH));
}
