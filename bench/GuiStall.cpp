// How long the main window's event loop stops answering while a large folder
// is measured: a 5 ms timer notes the longest gap between its ticks in each
// phase a user meets (a folder dropped, a kind changed while measuring and
// after, a build and the preview after its outcome box). Prints one line per
// phase and the longest gap of all against the goal; exit status 1 only when
// the run itself failed.
// Usage: parumero-gui-bench FOLDER [GOAL_MS]      (QT_QPA_PLATFORM=offscreen)
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "platform/Platform.h"
#include "ui/MainDialog.h"

using namespace pm;

namespace {

struct SilentBoxes : MessageBoxes {
    void Show(const std::string&, MessageIcon) override {}
};

// The longest time between two ticks since the last Take.
class StallProbe {
public:
    StallProbe() {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, now - m_last);
            m_last = now;
        });
        m_timer.start(5);
    }
    double TakeMs() {
        const qint64 now = m_clock.nsecsElapsed();
        const double worst = double(std::max(m_worst, now - m_last)) / 1e6;
        m_worst = 0;
        m_last = now;
        return worst;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_worst = 0;
};

// Runs the event loop until `done` holds; false after 10 minutes.
template <class Done>
bool Wait(Done done) {
    QDeadlineTimer deadline(600000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: parumero-gui-bench FOLDER [GOAL_MS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const double goalMs = argc > 2 ? std::atof(argv[2]) : 100.0;
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    // The image goes nowhere: the phase of interest is the preview after it.
    const QString image = scratch.path() + "/out.iso";
    if (::symlink("/dev/null", image.toLocal8Bit().constData()) != 0) return 1;

    auto platform = MakePosixPlatform();
    SilentBoxes boxes;
    MainDialog dialog(*platform, (scratch.path() + "/parumero.INI").toStdString(), &boxes);
    dialog.m_strImagePath = image.toStdString();
    dialog.ExchangeData(false);
    dialog.show();
    auto* kinds = dialog.findChild<QComboBox*>(QStringLiteral("combo1009"));
    auto changeKind = [&](int kind) {
        kinds->setCurrentIndex(kind);
        emit kinds->activated(kind);  // as a choice in the list
    };
    StallProbe probe;
    double worst = 0;
    auto phase = [&](const char* name, QElapsedTimer& took) {
        const double ms = probe.TakeMs();
        worst = std::max(worst, ms);
        std::printf("%-44s %8.1f ms longest stall, %6.2f s\n", name, ms, double(took.elapsed()) / 1000);
        std::fflush(stdout);
    };
    auto measuring = [&] { return dialog.IsMeasuring(); };
    QElapsedTimer took;
    probe.TakeMs();

    took.start();
    dialog.DropFolder(folder);
    if (!Wait([&] { return !measuring(); })) return 1;
    phase("folder dropped, measured (Joliet)", took);

    took.start();
    changeKind(1);
    QTimer::singleShot(50, [&] { changeKind(2); });  // a second change while measuring
    if (!Wait([&] { return kinds->currentIndex() == 2 && !measuring(); })) return 1;
    phase("kind changed twice, measured (UDF)", took);

    took.start();
    dialog.findChild<QPushButton*>(QStringLiteral("button1"))->click();
    if (!Wait([&] { return !dialog.IsBuilding() && !measuring(); })) return 1;
    phase("build to /dev/null, outcome box, measured", took);

    std::printf("longest stall %.1f ms, goal %.0f ms: %s\n", worst, goalMs, worst <= goalMs ? "met" : "MISSED");
    return 0;
}
