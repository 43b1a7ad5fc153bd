#include "capture/append_log.h"
#include "platform/win32/edit_log_view.h"

#include <gtest/gtest.h>

using namespace kx;
using kx::win32::EditLogView;

namespace {

// A real EDIT control inside a hidden top-level window.
class RealEditControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        edit_ = EditLogView::Create(parent_, 1000);
        ASSERT_NE(edit_, nullptr);
        ::MoveWindow(edit_, 0, 0, 200, 200, FALSE);
    }
    void TearDown() override { ::DestroyWindow(parent_); }

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(RealEditControl, HasNoSmallLengthLimit)
{
    EditLogView view(edit_);
    EXPECT_GE(static_cast<unsigned long>(::SendMessageW(edit_, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEul);
    std::u16string big;
    for (int i = 0; i < 20000; ++i)
        big += u"0123456789\r\n";  // 240000 units, far above the default 30000
    view.InsertAt(0, big);
    EXPECT_EQ(view.TextLength(), big.size());
}

TEST_F(RealEditControl, CountsLinesAsShown)
{
    EditLogView view(edit_);
    EXPECT_EQ(view.VisualLineCount(), 0);
    view.SetText(u"a\r\nb");
    EXPECT_EQ(view.VisualLineCount(), 2);
    EXPECT_FALSE(view.EndsWithLineBreak());
    view.SetText(u"a\r\nb\r\n");
    EXPECT_EQ(view.VisualLineCount(), 2);
    EXPECT_TRUE(view.EndsWithLineBreak());
    view.SetText(u"\r\n");
    EXPECT_EQ(view.VisualLineCount(), 1);
    EXPECT_TRUE(view.EndsWithLineBreak());
}

TEST_F(RealEditControl, AppendRulesOnRealControl)
{
    EditLogView view(edit_);
    AppSettings settings;
    settings.Ancete = 1;
    for (const char16_t* t : {u"T1", u"T2", u"T3"})
        AppendLog(view, settings, t);
    EXPECT_EQ(view.Text(), u"T1\r\nT2\r\n\r\nT3\r\n");

    // The caret stands at the end of the new text, in front of the closing break.
    DWORD start = 0, end = 0;
    ::SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, view.TextLength() - 2);
    EXPECT_EQ(end, start);
}

TEST_F(RealEditControl, LongLineThatWrapsCountsAsSeveralLines)
{
    EditLogView view(edit_);
    AppSettings settings;
    settings.Ancete = 1;
    std::u16string longLine;
    for (int i = 0; i < 40; ++i)
        longLine += u"word ";
    view.SetText(longLine + u"\r\n");
    ASSERT_GE(view.VisualLineCount(), 2) << "the 200-pixel view should wrap a 200-letter line";
    AppendLog(view, settings, u"T");
    // Two shown lines: the text goes behind the long line with an empty line.
    EXPECT_EQ(view.Text(), longLine + u"\r\n\r\nT\r\n");
}

TEST_F(RealEditControl, ReplaceModeShowsTextFromItsBeginning)
{
    EditLogView view(edit_);
    AppSettings settings;
    settings.uot = 1;
    std::u16string many;
    for (int i = 0; i < 200; ++i)
        many += u"line\r\n";
    AppendLog(view, settings, many);
    EXPECT_EQ(view.Text(), many);
    EXPECT_EQ(::SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

TEST_F(RealEditControl, AppendScrollsNewTextIntoView)
{
    EditLogView view(edit_);
    AppSettings settings;
    for (int i = 0; i < 200; ++i)
        AppendLog(view, settings, u"line " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
    EXPECT_GT(::SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 150);
}

} // namespace
