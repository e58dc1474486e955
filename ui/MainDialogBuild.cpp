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

#include "job/BuildRunner.h"
#include "job/JobMessages.h"
#include "job/Strings.h"
#include "ui/MainDialog.h"
#include "ui/ScreenSaver.h"

namespace pm {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void MainDialog::OnGui(const std::function<void()>& fn) {
    if (QThread::currentThread() == thread())
        fn();
    else
        QMetaObject::invokeMethod(this, fn, Qt::BlockingQueuedConnection);
}

bool MainDialog::RunBuild(const BuildJob& job) {
    m_bBuilding = true;
    m_bStopRequested = false;
    SetBuildingState(true);
    const uint32_t saverCookie = SuspendMenusAndSaver();
    // Texts a failed size preview left behind belong to no build.
    TheJobMessages().Clear();
    ApplyBuildInputs(TheVolumeInfo(), job.volumeLabel, job.creationDate, job.creationTime);
    bool result;
    {
        BuildRunner runner(m_platform, this);
        result = runner.Run(job.sourceFolder, job.imagePath, job.kind);
    }
    OnGui([this] {
        if (m_nTimerId) {
            killTimer(m_nTimerId);
            m_nTimerId = 0;
        }
        RefreshByteCounter();
    });
    if (!result) TheJobMessages().AddText(10048);
    ReportOutcome();
    ResumeMenusAndSaver(saverCookie);
    SetBuildingState(false);
    m_bBuilding = false;
    return result;
}

void MainDialog::ReportOutcome() {
    OnGui([this] {
        const int shown = TheJobMessages().ShowAll([this](const std::string& text) {
            m_boxes->Beep();
            m_boxes->Show(text, MessageIcon::Exclamation);
        });
        if (shown) return;
        m_boxes->Beep();
        m_boxes->Show(LoadString(m_bStopRequested ? 10042 : 10041), MessageIcon::None);
    });
}

void MainDialog::SetBuildingState(bool on) {
    OnGui([this, on] {
        // Idle again with the caption it opened with, so Alt+X still exits.
        m_exitButton->setText(on ? Q(LoadString(10043)) : QStringLiteral("終了(&X)"));
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
