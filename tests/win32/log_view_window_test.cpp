#include "capture/append_log.h"
#include "logview/win32/log_view_window.h"

#include <gtest/gtest.h>

using namespace kx;
using kx::win32::LogViewWindow;

namespace {

// The real log view window inside a hidden top-level window.
class RealLogView : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                                    ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(parent_, nullptr);
        edit_ = view.Create(parent_, 1000);
        ASSERT_NE(edit_, nullptr);
        ::MoveWindow(edit_, 0, 0, 200, 200, FALSE);
    }
    void TearDown() override { ::DestroyWindow(parent_); }

    LogViewWindow view;
    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(RealLogView, OtherProgramsReadTheWholeLog)
{
    std::u16string big;
    for (int i = 0; i < 20000; ++i)
        big += u"0123456789\r\n";  // 240000 units, far above an edit box's default 30000
    view.InsertAt(0, big);
    ASSERT_EQ(::SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0), static_cast<LRESULT>(big.size()));
    std::wstring read(big.size() + 1, L'\0');
    EXPECT_EQ(::SendMessageW(edit_, WM_GETTEXT, read.size(), reinterpret_cast<LPARAM>(read.data())),
              static_cast<LRESULT>(big.size()));
    EXPECT_TRUE(std::equal(big.begin(), big.end(), read.begin()));
    wchar_t small[5];
    EXPECT_EQ(::SendMessageW(edit_, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(small)), 4);
    EXPECT_EQ(std::wstring(small), L"0123");

    // The end alone, line by line, as an edit box gives it.
    view.SetText(u"first\r\nlast line\r\n");
    ASSERT_EQ(::SendMessageW(edit_, EM_GETLINECOUNT, 0, 0), 3);
    const LRESULT start = ::SendMessageW(edit_, EM_LINEINDEX, 1, 0);
    EXPECT_EQ(start, 7);
    EXPECT_EQ(::SendMessageW(edit_, EM_LINELENGTH, static_cast<WPARAM>(start), 0), 9);
    wchar_t line[16] = {16};
    EXPECT_EQ(::SendMessageW(edit_, EM_GETLINE, 1, reinterpret_cast<LPARAM>(line)), 9);
    EXPECT_EQ(std::wstring(line, 9), L"last line");
}

TEST_F(RealLogView, CountsLinesAsShown)
{
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

TEST_F(RealLogView, AppendRulesOnRealControl)
{
    AppSettings settings;
    settings.Ancete = 1;
    for (const char16_t* t : {u"T1", u"T2", u"T3"})
        AppendLog(view, settings, t);
    EXPECT_EQ(view.Text(), u"T1\r\nT2\r\n\r\nT3\r\n");

    // The caret stands behind the new text (and its closing break).
    EXPECT_EQ(view.Selection().caret, view.TextLength());
    EXPECT_TRUE(view.Selection().Empty());
}

TEST_F(RealLogView, LongLineThatWrapsCountsAsSeveralLines)
{
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

TEST_F(RealLogView, ReplaceModeShowsTextFromItsBeginning)
{
    AppSettings settings;
    settings.uot = 1;
    std::u16string many;
    for (int i = 0; i < 200; ++i)
        many += u"line\r\n";
    AppendLog(view, settings, many);
    EXPECT_EQ(view.Text(), many);
    EXPECT_EQ(view.TopOffset(), 0u);
}

TEST_F(RealLogView, FollowsTheEndOnlyWhileTheUserIsThere)
{
    AppSettings settings;
    for (int i = 0; i < 200; ++i)
        AppendLog(view, settings, u"line " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
    ASSERT_TRUE(view.FollowsEnd());
    ASSERT_FALSE(view.VisibleRows().empty());
    EXPECT_EQ(view.VisibleRows().back().end, view.TextLength() - 2) << "the newest line is in view";

    ::SendMessageW(edit_, WM_KEYDOWN, VK_PRIOR, 0);  // the user scrolls up a page
    const std::size_t top = view.TopOffset();
    EXPECT_FALSE(view.FollowsEnd());
    AppendLog(view, settings, u"newer");
    EXPECT_EQ(view.TopOffset(), top) << "the view stays where the user scrolled";

    ::SendMessageW(edit_, WM_VSCROLL, SB_BOTTOM, 0);
    AppendLog(view, settings, u"newest");
    EXPECT_TRUE(view.FollowsEnd());
    EXPECT_EQ(view.VisibleRows().back().end, view.TextLength() - 2);
}

TEST_F(RealLogView, SelectAllAndCopyPutTheLogOnTheClipboardAndTheSelectionOutlivesNewLines)
{
    view.SetText(u"あいう\r\nabc\r\n");
    ASSERT_TRUE(::OpenClipboard(nullptr));
    ::EmptyClipboard();
    ::CloseClipboard();
    ::SetFocus(edit_);
    BYTE keys[256] = {};
    keys[VK_CONTROL] = 0x80;
    ::SetKeyboardState(keys);
    ::SendMessageW(edit_, WM_KEYDOWN, 'A', 0);
    // Lines that come in before the copy, one written again in place.
    AppendLog(view, AppSettings{}, u"new");
    RewritableLine line = AppendRewritableLine(view, AppSettings{}.Sink(), u"part");
    RewriteLine(view, line, u"partial answer");
    ::SendMessageW(edit_, WM_KEYDOWN, 'C', 0);
    keys[VK_CONTROL] = 0;
    ::SetKeyboardState(keys);
    ASSERT_TRUE(::OpenClipboard(nullptr));
    HANDLE data = ::GetClipboardData(CF_UNICODETEXT);
    const std::wstring copied = data ? static_cast<const wchar_t*>(::GlobalLock(data)) : L"";
    if (data)
        ::GlobalUnlock(data);
    ::CloseClipboard();
    EXPECT_EQ(copied, L"あいう\r\nabc\r\n");
}

} // namespace
