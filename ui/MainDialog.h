// The program's one window: collects the parameters of a build, previews the
// image size, runs the build on a worker thread and shows its progress.
// Controls are named by their ids ("edit1002", "button1", "combo1009",
// "date1006", "time1007", "static1001", "progress1008") so tests find them.
#pragma once

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "job/Progress.h"
#include "layout/BuildRequest.h"
#include "settings/VolumeInfo.h"
#include "ui/MessageBoxes.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTimeEdit;

namespace pm {

class JobMessages;
class Platform;
class SizePreview;

// The save dialog's filters from the string table's "description|patterns|"
// list: each description kept as written, its patterns in a trailing
// parenthesis that the dialog hides; "*.*" becomes "*" (all files, with or
// without a dot).
QStringList SaveDialogFilters(const std::string& table);

class MainDialog : public QDialog, public ProgressSink {
    Q_OBJECT
public:
    // `settingsPath` is where the volume information dialog saves its
    // defaults. Without `boxes` real message boxes are used.
    MainDialog(Platform& platform, std::string settingsPath, MessageBoxes* boxes = nullptr,
               QWidget* parent = nullptr);
    ~MainDialog() override;

    // Every field to the controls, or from them with the label check (false
    // after its message was shown, focus in the label box).
    bool ExchangeData(bool fromControls);

    // After a folder was chosen: label, date and time from the folder, then
    // the size preview. False when the folder cannot be found.
    bool TakeFolder();
    void BrowseFolder();
    void DropFolder(const std::string& path);
    // A path typed or pasted into the folder box, when the box loses the
    // focus or Enter is pressed: taken as a chosen folder is when it names
    // an existing folder and the box was edited. True when it was taken.
    bool TakeTypedFolder();
    void BrowseImage();
    void KindChanged();
    // Starts measuring the image on the preview thread; the status line says
    // so at once and shows the size (or the failure) when the newest
    // measurement ends. A measurement still running is cancelled.
    void PreviewImageSize();
    bool IsMeasuring() const { return m_nPreviewRequest != 0; }
    void StartBuild();
    void ExitOrStop();
    void ShowVolumeInfo();
    // The boot settings window; its OK has saved the choices this window takes.
    void ShowBootSettings();
    // The boot choices of the settings file, at start-up.
    void SetBootChoices(const BootChoices& boot);
    void ShowAbout();
    // Values of the settings file that were out of range at load: one box
    // now, and the volume information window lists them until it is saved.
    void SetSettingsWarnings(std::vector<std::string> lines);
    // Asks for an image file, then compares it with the folder and kind in
    // the window (StartCheck) on the worker thread, with the build's progress
    // display and stop button, ending in one box.
    void CheckImage();
    bool StartCheck(const std::string& imagePath);

    bool IsBuilding() const { return m_bBuilding.load(); }

    // The worker's steps. They run on the worker thread and reach the
    // controls through blocking calls on the window's thread; called on the
    // window's thread they act directly.
    bool RunBuild(const BuildRequest& request);
    // Marks the window busy; the screen saver's cookie.
    uint32_t BeginWork();
    bool RunCheck(const BuildRequest& request);
    // The failures in one box, or the box of a finished or stopped build.
    // One box: the failures, or the end with the counts of what did not go
    // in as a plain copy (OutcomeLines).
    void ReportOutcome(JobMessages& failures, const std::vector<std::string>& counts = {});
    void SetBuildingState(bool on);
    uint32_t SuspendMenusAndSaver();
    void ResumeMenusAndSaver(uint32_t saverCookie);

    // ProgressSink, called by the build on the worker thread.
    void OnBuildStarted() override;
    void OnImageSize(uint64_t totalBytes) override;
    bool OnBytesWritten(uint32_t bytes) override;
    void RefreshByteCounter();

    // The fields the controls show (ExchangeData moves them).
    std::string m_strSourceFolder;
    std::string m_strImagePath;
    std::string m_strVolumeLabel;
    int m_nImageKind = 0;
    VolumeDate m_creationDate;
    VolumeDate m_creationTime;
    std::string m_strStatus;
    std::string m_strByteCount;
    std::string m_strPercent;

signals:
    // Every text the status line is given, in order.
    void StatusShown(const QString& text);

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void ShowStatus();
    // The line beside the kind that names the platforms the image boots on;
    // hidden when it boots on none.
    void ShowBootable();
    // A measurement ended (on the window's thread); older ones are dropped.
    void PreviewDone(uint64_t request, uint64_t sectors, uint64_t bytes);
    // No measurement's result is wanted any more.
    void DropPreview();
    // Runs fn on the window's thread and waits for it.
    void OnGui(const std::function<void()>& fn);
    // The request the fields describe as they stand: the window's volume
    // information with the label and date typed in, the kind chosen, the
    // folder; no image path. Made on the window's thread only.
    BuildRequest CurrentRequest();
    // The fields taken and the folder checked, for a build or a check; false
    // after the refusal's box.
    bool TakeJob(BuildRequest& request);

    Platform& m_platform;
    std::string m_settingsPath;
    std::vector<std::string> m_settingsWarnings;
    BootChoices m_boot;
    DialogBoxes m_boxes;

    QMenuBar* m_menuBar = nullptr;
    QLineEdit* m_editFolder = nullptr;
    QPushButton* m_browseFolder = nullptr;
    QLineEdit* m_editImage = nullptr;
    QPushButton* m_browseImage = nullptr;
    QLineEdit* m_editLabel = nullptr;
    QDateEdit* m_datePicker = nullptr;
    QTimeEdit* m_timePicker = nullptr;
    QComboBox* m_kindList = nullptr;
    QLabel* m_bootable = nullptr;
    QLabel* m_statusText = nullptr;
    QLabel* m_byteCounter = nullptr;
    QLabel* m_percentText = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_exitButton = nullptr;

    std::atomic<bool> m_bBuilding{false};
    std::atomic<bool> m_bStopRequested{false};
    bool m_bPreviewValid = false;
    // The newest measurement is of a folder just taken (or of a new kind for
    // it): its success makes the preview valid.
    bool m_bFolderMeasuring = false;
    // The measurement whose result the status line waits for; 0 when none.
    uint64_t m_nPreviewRequest = 0;
    bool m_bBarMeasured = false;
    bool m_bClosing = false;  // from the exit until the window is shown again
    int m_nTimerId = 0;

    // Progress: the counter belongs to the worker; the timer reads the bytes
    // done through the atomic copy.
    ProgressCounter m_progress;
    std::atomic<uint64_t> m_nBytesDone{0};
    uint64_t m_nBytesTotal = 0;
    int m_nBarWidth = 0;

    std::thread m_worker;
    std::unique_ptr<SizePreview> m_preview;
};

}  // namespace pm
