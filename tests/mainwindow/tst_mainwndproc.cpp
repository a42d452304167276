// The size-limit procedure: the record it returns, the 16-bit screen sizes
// with their overflow and zero-divisor cases, forwarding of every other
// message, and the form's installing and restoring of procedures.

#include "support/ShellTestSupport.h"

#include "app/Form.h"
#include "app/Runtime.h"
#include "app/modMain.h"

#include <cstring>

namespace {

struct Forwarded {
    forms::Form* hwnd = nullptr;
    std::uint32_t msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    int calls = 0;
};
Forwarded g_forwarded;

std::intptr_t recordingProc(forms::Form* hwnd, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam)
{
    g_forwarded = { hwnd, msg, wParam, lParam, g_forwarded.calls + 1 };
    return 0x5a5a;
}

std::intptr_t limitsProc(forms::Form*, std::uint32_t msg, std::uintptr_t, std::intptr_t lParam)
{
    if (msg == forms::WM_GETMINMAXINFO) {
        auto* info = reinterpret_cast<forms::MinMaxInfo*>(lParam);
        info->ptMinTrackSize = { 300, 200 };
        info->ptMaxTrackSize = { 900, 700 };
    }
    return 0;
}

modMain::ScreenTwips screenOf(float widthPixels, float heightPixels, float tppX = 15, float tppY = 15)
{
    return { tppX, widthPixels * tppX, tppY, heightPixels * tppY };
}

forms::MinMaxInfo presetRecord()
{
    forms::MinMaxInfo info;
    info.ptReserved = { 11, 12 };
    info.ptMaxSize = { 1024, 740 };
    info.ptMaxPosition = { -4, 3 };
    info.ptMinTrackSize = { 1, 2 };
    info.ptMaxTrackSize = { 3, 4 };
    return info;
}

// The limits answered for `screen`.
forms::MinMaxInfo limitsFor(modMain::ScreenTwips screen)
{
    forms::MinMaxInfo info = presetRecord();
    modMain::SetTrackSizes(info, screen);
    return info;
}

// The size-limit query through the procedure, on the screen the test runs on.
forms::MinMaxInfo query()
{
    forms::MinMaxInfo info = presetRecord();
    const std::intptr_t result = modMain::MainWndProc(nullptr, forms::WM_GETMINMAXINFO, 0, reinterpret_cast<std::intptr_t>(&info));
    if (result != 0)
        qWarning("MainWndProc returned %ld", long(result));
    return info;
}

} // namespace

class MainWndProcTest : public QObject {
    Q_OBJECT

private slots:
    void limitsForAScreen()
    {
        const forms::MinMaxInfo info = limitsFor(screenOf(1024, 768));
        QCOMPARE(info.ptMinTrackSize.x, 611);
        QCOMPARE(info.ptMinTrackSize.y, 458);
        QCOMPARE(info.ptMaxTrackSize.x, 1054);
        QCOMPARE(info.ptMaxTrackSize.y, 771);
        QCOMPARE(info.ptMaxSize.x, 1024);
    }

    void answersTheSizeLimitQueryForTheCurrentScreen()
    {
        const modMain::ScreenTwips screen = modMain::CurrentScreen();
        QVERIFY(screen.widthTwips > 0 && screen.heightTwips > 0);
        const forms::MinMaxInfo info = query();
        QCOMPARE(info.ptMinTrackSize.x, 611);
        QCOMPARE(info.ptMinTrackSize.y, 458);
        QCOMPARE(info.ptMaxTrackSize.x, modMain::ScreenWidthPixels() + 30);
        QCOMPARE(info.ptMaxTrackSize.y, modMain::ScreenHeightPixels() + 3);
        QCOMPARE(int(modMain::ScreenWidthPixels()), int(modMain::ScreenWidthPixels(screen)));
        // The other three points go back exactly as they came.
        QCOMPARE(info.ptReserved.x, 11);
        QCOMPARE(info.ptReserved.y, 12);
        QCOMPARE(info.ptMaxSize.x, 1024);
        QCOMPARE(info.ptMaxSize.y, 740);
        QCOMPARE(info.ptMaxPosition.x, -4);
        QCOMPARE(info.ptMaxPosition.y, 3);
    }

    void clampsWhatDoesNotFitSixteenBits_data()
    {
        QTest::addColumn<float>("widthPixels");
        QTest::addColumn<float>("heightPixels");
        QTest::addColumn<float>("tppX");
        QTest::addColumn<int>("maxX");
        QTest::addColumn<int>("maxY");
        QTest::newRow("widest that fits") << 32737.f << 768.f << 15.f << 32767 << 771;
        QTest::newRow("sum overflows x") << 32738.f << 768.f << 15.f << 32767 << 771;
        QTest::newRow("sum overflows y") << 1024.f << 32765.f << 15.f << 1054 << 32767;
        QTest::newRow("quotient overflows") << 40000.f << 768.f << 15.f << 32767 << 771;
        QTest::newRow("zero twips per pixel") << 1024.f << 768.f << 0.f << 32767 << 771;
    }

    void clampsWhatDoesNotFitSixteenBits()
    {
        QFETCH(float, widthPixels);
        QFETCH(float, heightPixels);
        QFETCH(float, tppX);
        QFETCH(int, maxX);
        QFETCH(int, maxY);
        modMain::ScreenTwips screen = screenOf(widthPixels, heightPixels);
        screen.twipsPerPixelX = tppX;
        const forms::MinMaxInfo info = limitsFor(screen);
        QCOMPARE(info.ptMaxTrackSize.x, maxX);
        QCOMPARE(info.ptMaxTrackSize.y, maxY);
        QCOMPARE(info.ptMinTrackSize.x, 611);
    }

    void screenPixelsRoundHalfToEvenAndRaise()
    {
        const modMain::ScreenTwips halves { 15, 100.5f * 15, 15, 101.5f * 15 };
        QCOMPARE(int(modMain::ScreenWidthPixels(halves)), 100);
        QCOMPARE(int(modMain::ScreenHeightPixels(halves)), 102);
        const modMain::ScreenTwips odd { 0, 15360, 15, 40000 * 15 };
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, modMain::ScreenWidthPixels(odd));
        QVERIFY_THROWS_EXCEPTION(forms::RuntimeError, modMain::ScreenHeightPixels(odd));
    }

    void forwardsEveryOtherMessageUnchanged()
    {
        const std::intptr_t saved = modMain::OldWndProc;
        modMain::OldWndProc = reinterpret_cast<std::intptr_t>(&recordingProc);
        forms::Form form(QStringLiteral("frmTest"));
        g_forwarded = {};
        const std::intptr_t result = modMain::MainWndProc(&form, 0x0201, 7, -9);
        QCOMPARE(result, std::intptr_t(0x5a5a));
        QCOMPARE(g_forwarded.calls, 1);
        QCOMPARE(g_forwarded.hwnd, &form);
        QCOMPARE(g_forwarded.msg, 0x0201u);
        QCOMPARE(g_forwarded.wParam, std::uintptr_t(7));
        QCOMPARE(g_forwarded.lParam, std::intptr_t(-9));
        // The size-limit query itself is never forwarded.
        query();
        QCOMPARE(g_forwarded.calls, 1);
        modMain::OldWndProc = saved;
    }

    void formAppliesItsProcedureAndPutsTheOldOneBack()
    {
        forms::Form form(QStringLiteral("frmTest"));
        form.setClientSize(200, 100);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // Until a procedure is installed, the window has no limits of ours.
        form.applySizeLimits();
        QCOMPARE(form.windowHandle()->minimumSize(), QSize(1, 1));

        const forms::WindowProc previous = form.setWindowProc(&limitsProc);
        QVERIFY(previous == &forms::DefWindowProc);
        QCOMPARE(form.windowHandle()->minimumSize(), QSize(300, 200));
        QCOMPARE(form.windowHandle()->maximumSize(), QSize(900, 700));
        // The window kept the size it had, below the new minimum.
        QCOMPARE(form.size(), QSize(200, 100));

        QVERIFY(form.setWindowProc(previous) == &limitsProc);
        QCOMPARE(form.windowHandle()->minimumSize(), QSize(1, 1));
        QCOMPARE(form.windowHandle()->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    }

    void styleGivesTheFrameWithoutCaption()
    {
        forms::Form form(QStringLiteral("frmTest"));
        form.setClientSize(610, 434);
        QCOMPARE(forms::SetWindowLong(&form, forms::GWL_STYLE, 0x000E0000), std::intptr_t(0));
        forms::SetWindowPos(&form, nullptr, 0, 0, 0, 0, forms::SWP_NOSIZE | forms::SWP_NOMOVE | forms::SWP_FRAMECHANGED);
        QCOMPARE(form.sizingBorder(), forms::Form::kSizingBorder);
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
        // Before the first show the client keeps the design size.
        QCOMPARE(form.ScaleWidth(), 610.f);
        QCOMPARE(form.ScaleHeight(), 434.f);
        QCOMPARE(form.size(), QSize(618, 442));
        QCOMPARE(form.Width(), 618.f * forms::twipsPerPixelX());
    }
};

SHELL_TEST_MAIN(MainWndProcTest)
#include "tst_mainwndproc.moc"
