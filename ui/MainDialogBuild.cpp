// The worker side of the main window: one build on its own thread, and the
// progress display it drives. Control updates run on the window's thread; the
// worker waits for them, except for the bar, which it only posts to.
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimeEdit>
#include <QTimerEvent>

#include "job/BuildInputs.h"
#include "job/BuildRunner.h"
#include "messages/JobMessages.h"
#include "messages/Strings.h"
#include "ui/QtText.h"
#include "platform/Platform.h"
#include "layout/ImageBuilder.h"
#include "reader/Verify.h"
#include "tree/PathUtil.h"
#include "ui/MainDialog.h"
#include "ui/ScreenSaver.h"

namespace pm {

void MainDialog::OnGui(const std::function<void()>& fn) {
    if (QThread::currentThread() == thread())
        fn();
    else
        QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

uint32_t MainDialog::BeginWork() {
    m_bBuilding = true;
    m_bStopRequested = false;
    SetBuildingState(true);
    return SuspendMenusAndSaver();
}

bool MainDialog::RunBuild(const BuildRequest& request) {
    const uint32_t saverCookie = BeginWork();
    BuildReport report;
    {
        BuildRunner runner(m_platform, this);
        runner.SetCancelFlag(&m_bStopRequested);
        report = runner.Run(request);
    }
    const bool result = report.outcome != BuildReport::Outcome::Failed;
    OnGui([this] {
        if (m_nTimerId) {
            killTimer(m_nTimerId);
            m_nTimerId = 0;
        }
        RefreshByteCounter();
    });
    if (!result) report.failures.AddText(10048);
    ReportOutcome(report.failures, OutcomeLines(report, request.kind));
    ResumeMenusAndSaver(saverCookie);
    SetBuildingState(false);
    m_bBuilding = false;
    return result;
}

namespace {

// The one box that ends a check: the match, or the differences (the first
// 50 of them, then how many more) and their count.
std::string CheckOutcome(const VerifyResult& r, const std::string& imagePath, bool& same) {
    same = r.Identical();
    if (r.sourceUnreadable) return std::string();  // the queued causes say it
    if (!r.unreadable.empty()) return FormatString(kMsgCannotReadImage, imagePath, r.unreadable);
    if (r.stopped) return LoadString(kMsgStopping);
    if (same) return LoadString(kMsgImageMatches);
    std::vector<std::string> lines = r.problems;
    lines.insert(lines.end(), r.differences.begin(), r.differences.end());
    constexpr size_t kShown = 50;
    std::string text;
    for (size_t i = 0; i < lines.size() && i < kShown; ++i) text += lines[i] + "\n";
    if (lines.size() > kShown) text += FormatString(kMsgMoreDifferences, std::to_string(lines.size() - kShown)) + "\n";
    std::string count = std::to_string(lines.size());
    GroupDigits(count);
    return text + FormatString(kMsgImageDiffers, count);
}

}  // namespace

bool MainDialog::RunCheck(const BuildRequest& request) {
    const uint32_t saverCookie = BeginWork();
    m_nBytesDone = 0;
    OnGui([this] {
        m_strStatus = LoadString(kStatusVerifying);
        ShowStatus();
        m_nBytesTotal = 0;
        m_byteCounter->setText(QString());
        m_percentText->setText(QString());
        m_progressBar->setValue(0);
    });
    std::string text;  // empty when the scan's own messages say what went wrong
    bool same = false;
    FileSource image;
    std::string why;
    JobMessages scanFailures;
    if (!image.Open(request.imagePath, why)) {
        text = FormatString(kMsgCannotReadImage, request.imagePath, why);
    } else {
        // The source as a build into this image would take it: the same
        // exclusions, and the image left out when it lies inside.
        ImageBuilder builder(m_platform, request, scanFailures);
        builder.SetCancelFlag(&m_bStopRequested);  // the stop button ends the scan too
        if (!builder.Layout()) {
            if (m_bStopRequested) text = LoadString(kMsgStopping);
        } else {
            uint64_t total = 0;
            for (const CFileEntry* f : builder.m_files) total += f->m_nUdfSize ? f->m_nUdfSize : f->m_nIsoSize;
            m_progress.Start(total, m_nBarWidth);
            OnGui([this, total] {
                m_nBytesTotal = total;
                RefreshByteCounter();
                m_nTimerId = startTimer(400);
            });
            uint64_t reported = 0;
            const VerifyResult r = VerifyImage(builder, image, [&](uint64_t compared) {
                // Pieces are at most 1 MiB, well within one call's count.
                const bool stop = OnBytesWritten(uint32_t(compared - reported));
                reported = compared;
                return !stop;
            });
            text = CheckOutcome(r, request.imagePath, same);
        }
    }
    OnGui([this, &text, &scanFailures, same] {
        if (m_nTimerId) {
            killTimer(m_nTimerId);
            m_nTimerId = 0;
        }
        RefreshByteCounter();
        scanFailures.ShowAll([this](const std::string& t) {
            m_boxes->Beep();
            m_boxes->Show(t, MessageIcon::Exclamation);
        });
        if (text.empty()) return;
        m_boxes->Beep();
        m_boxes->Show(text, same ? MessageIcon::None : MessageIcon::Exclamation);
    });
    ResumeMenusAndSaver(saverCookie);
    SetBuildingState(false);
    m_bBuilding = false;
    return same;
}

void MainDialog::ReportOutcome(JobMessages& failures, const std::vector<std::string>& counts) {
    OnGui([this, &failures, &counts] {
        const int shown = failures.ShowAll([this](const std::string& text) {
            m_boxes->Beep();
            m_boxes->Show(text, MessageIcon::Exclamation);
        });
        if (shown) return;
        m_boxes->Beep();
        std::string text = LoadString(m_bStopRequested ? 10042 : 10041);
        for (const std::string& line : counts) text += "\n" + line;
        m_boxes->Show(text, MessageIcon::None);
    });
}

void MainDialog::SetBuildingState(bool on) {
    OnGui([this, on] {
        // Idle again with the caption it opened with, so Alt+X still exits.
        m_exitButton->setText(Q(LoadString(on ? kTextStopButton : kTextExitCaption)));
        for (QWidget* w : std::initializer_list<QWidget*>{m_startButton, m_editImage, m_editFolder, m_editLabel,
                                                          m_kindList, m_datePicker, m_timePicker})
            w->setEnabled(!on);
        if (on) return;
        PreviewImageSize();
        m_strByteCount.clear();
        m_strPercent.clear();
        m_byteCounter->setText(QString());
        m_percentText->setText(QString());
        m_progressBar->setValue(0);
    });
}

uint32_t MainDialog::SuspendMenusAndSaver() {
    const uint32_t cookie = InhibitScreenSaver();
    OnGui([this] {
        for (QAction* menu : m_menuBar->actions()) menu->setEnabled(false);
    });
    return cookie;
}

void MainDialog::ResumeMenusAndSaver(uint32_t saverCookie) {
    UnInhibitScreenSaver(saverCookie);
    OnGui([this] {
        for (QAction* menu : m_menuBar->actions()) menu->setEnabled(true);
    });
}

void MainDialog::OnBuildStarted() {
    // Nothing of an earlier build may stand beside this one, also when it
    // fails before it writes.
    m_nBytesDone = 0;
    OnGui([this] {
        m_strStatus = LoadString(10046);
        ShowStatus();
        m_nBytesTotal = 0;
        m_strByteCount.clear();
        m_strPercent.clear();
        m_byteCounter->setText(QString());
        m_percentText->setText(QString());
        m_progressBar->setValue(0);
    });
}

void MainDialog::OnImageSize(uint64_t totalBytes) {
    m_progress.Start(totalBytes, m_nBarWidth);
    m_nBytesDone = 0;
    OnGui([this, totalBytes] {
        m_nBytesTotal = totalBytes;
        m_strStatus = LoadString(10047);
        ShowStatus();
        m_progressBar->setValue(0);
        RefreshByteCounter();
        m_nTimerId = startTimer(400);
    });
}

bool MainDialog::OnBytesWritten(uint32_t bytes) {
    bool percentGrew, barGrew;
    m_progress.Add(bytes, percentGrew, barGrew);
    m_nBytesDone = m_progress.bytesDone;
    if (percentGrew) {
        const std::string text = m_progress.PercentText();
        OnGui([this, &text] {
            m_strPercent = text;
            m_percentText->setText(Q(text));
        });
    }
    if (barGrew) {
        // Posted: the worker never waits for the bar to repaint.
        QProgressBar* bar = m_progressBar;
        const int pos = m_progress.barPos;
        QMetaObject::invokeMethod(bar, [bar, pos] { bar->setValue(pos); }, Qt::QueuedConnection);
    }
    return m_bStopRequested;
}

void MainDialog::RefreshByteCounter() {
    m_strByteCount = ByteCounterText(m_nBytesDone, m_nBytesTotal);
    m_byteCounter->setText(Q(m_strByteCount));
}

void MainDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_nTimerId)
        RefreshByteCounter();
    else
        QDialog::timerEvent(event);
}

}  // namespace pm
