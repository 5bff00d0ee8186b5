// How long the operator's window goes without painting while an action runs
// against a silent module, which costs 2000 ms per command: the dialog on
// Qt's offscreen platform, the simulated controller with real time-outs,
// "Project Full Fringes" pressed once. The window is asked to repaint every
// 10 ms, as a window being dragged or uncovered would be, and every paint is
// timed. Prints the longest gap between two paints from the press to the
// action's end, and exits 1 when it exceeds 100 ms.
//
//   lumora_paint_gap [--quick]   (--quick: 200 ms per silent command, not 2000)
#include "link/link.h"
#include "patterns/presets.h"
#include "sim/sim_controller.h"
#include "ui/dialog_template.h"
#include "ui/lumora_dlg.h"
#include "ui/qt/qt_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Records when any widget of the window paints.
class PaintClock : public QObject {
public:
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longest = 0;
    qint64 longestEnded = 0;  // ms after the press
    long paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            const qint64 now = clock.elapsed();
            if (last >= 0 && now - last > longest) {
                longest = now - last;
                longestEnded = now;
            }
            last = now;
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    QApplication application(argc, argv);

    sim::Reset();
    sim::SetAckMode(sim::AckMode::Silent);
    sim::SetStatusReply(sim::StatusReply::Silent);
    sim::SetRealTimeouts(!quick);
    if (quick) {
        // A wait is read in slices, each sleeping the delay at most: a tenth
        // of a slice each makes a silent command's 2000 ms take 200.
        sim::SetReadDelay(std::chrono::milliseconds(lumora::kReadSliceMs / 10));
    }

    lumora::ui::CLumoraDlg dialog;
    QWidget* window = lumora::ui::QtWidget(dialog);
    window->show();
    QApplication::processEvents();
    qobject_cast<QPushButton*>(lumora::ui::QtWidget(dialog.GetDlgItem(lumora::ui::IDC_CONNECT_USB)))->click();
    while (dialog.ActionRunning()) {
        QTest::qWait(10);
    }

    PaintClock clock;
    application.installEventFilter(&clock);
    QTimer damage;
    QObject::connect(&damage, &QTimer::timeout, window, [window] { window->update(); });
    damage.start(10);
    clock.clock.start();
    QElapsedTimer total;
    total.start();
    qobject_cast<QPushButton*>(lumora::ui::QtWidget(dialog.GetDlgItem(lumora::ui::IDC_PROJECT_FULL_FRINGES)))->click();
    while (dialog.ActionRunning()) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    std::printf("Project Full Fringes against a silent module: %.1f s, %ld paints, longest gap between paints %lld ms "
                "(ending %.2f s after the press)\n",
                static_cast<double>(total.elapsed()) / 1000, clock.paints, clock.longest,
                static_cast<double>(clock.longestEnded) / 1000);
    std::printf("status line: %s\n", dialog.StatusLine()->GetWindowText().c_str());
    return clock.longest <= 100 ? 0 : 1;
}
