// The window side of the main window: its controls and fields, the folder
// and image choices, the size preview and the start and exit buttons.
#include "ui/MainDialog.h"
#include "messages/JobMessages.h"

#include <algorithm>
#include <ctime>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QComboBox>
#include <QDateEdit>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "job/BuildInputs.h"
#include "messages/Strings.h"
#include "platform/Platform.h"
#include "platform/Time.h"
#include "tree/PathUtil.h"
#include "ui/AboutDialog.h"
#include "ui/BootDialog.h"
#include "ui/ByteLimitValidator.h"
#include "ui/QtText.h"
#include "job/SizePreview.h"
#include "ui/VolumeInfoDialog.h"

namespace pm {

namespace {

VolumeDate Today() {
    VolumeDate d;
    CalendarTime c;
    if (LocalTime(int64_t(std::time(nullptr)), c)) {
        d.year = uint16_t(c.year);
        d.month = uint16_t(c.month);
        d.day = uint16_t(c.day);
    }
    return d;
}

QDate ToQDate(const VolumeDate& d) { return QDate(d.year, d.month, d.day); }
QTime ToQTime(const VolumeDate& t) { return QTime(t.hour, t.minute, t.second); }

}  // namespace

QStringList SaveDialogFilters(const std::string& table) {
    QStringList parts = Q(table).split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        if (description.isEmpty()) break;
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << (p == QLatin1String("*.*") ? QStringLiteral("*") : p);
        filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

MainDialog::MainDialog(Platform& platform, std::string settingsPath, MessageBoxes* boxes, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_settingsPath(std::move(settingsPath)), m_boxes(boxes, this) {
    m_strSourceFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
    m_strImagePath = m_strSourceFolder;
    m_creationDate = Today();

    setWindowTitle(Text(kTextProgramName));
    setAcceptDrops(true);
    // A window of its own in the task bar, with minimise and close boxes.
    setWindowFlags(Qt::Window | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    CreateControls();
    CreateMenus();
    ExchangeData(false);
    // Results come back to this window's thread; a result for a window that
    // is gone is dropped with the window's pending events.
    m_preview = std::make_unique<SizePreview>(m_platform, [this](uint64_t request, uint64_t sectors, uint64_t bytes) {
        QMetaObject::invokeMethod(
            this, [this, request, sectors, bytes] { PreviewDone(request, sectors, bytes); }, Qt::QueuedConnection);
    });
}

MainDialog::~MainDialog() {
    // The folder box loses the focus while the base classes take the window
    // apart; its editingFinished must not reach a window that is no longer one.
    disconnect(m_editFolder, nullptr, this, nullptr);
    if (m_worker.joinable()) {
        // The worker waits on this thread for its control updates and its
        // outcome box, so keep serving it until it is done.
        m_bStopRequested = true;
        while (m_bBuilding) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        m_worker.join();
    }
    // After the worker: its return to idle starts one more measurement.
    m_preview.reset();
}

void MainDialog::CreateControls() {
    auto named = [](QWidget* w, const char* name, int id) {
        w->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(name)).arg(id));
    };
    auto* grid = new QGridLayout;

    auto* folderLabel = new QLabel(Text(kTextFolderLabel), this);
    m_editFolder = new QLineEdit(this);
    named(m_editFolder, "edit", 1002);
    m_editFolder->setMinimumWidth(380);
    m_browseFolder = new QPushButton(QStringLiteral("..."), this);
    named(m_browseFolder, "button", 1000);
    folderLabel->setBuddy(m_editFolder);
    grid->addWidget(folderLabel, 0, 0);
    grid->addWidget(m_editFolder, 0, 1);
    grid->addWidget(m_browseFolder, 0, 2);

    auto* imageLabel = new QLabel(Text(kTextImageLabel), this);
    m_editImage = new QLineEdit(this);
    named(m_editImage, "edit", 1015);
    m_browseImage = new QPushButton(QStringLiteral("..."), this);
    named(m_browseImage, "button", 1014);
    imageLabel->setBuddy(m_editImage);
    grid->addWidget(imageLabel, 1, 0);
    grid->addWidget(m_editImage, 1, 1);
    grid->addWidget(m_browseImage, 1, 2);
    for (QPushButton* b : {m_browseFolder, m_browseImage}) {
        b->setAutoDefault(false);
        b->setMaximumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 24);
    }

    auto* labelLabel = new QLabel(Text(kTextVolumeLabelLabel), this);
    m_editLabel = new QLineEdit(this);
    named(m_editLabel, "edit", 1004);
    m_editLabel->setValidator(new ByteLimitValidator(2 * kMaxLabelUnits, m_editLabel));
    labelLabel->setBuddy(m_editLabel);
    grid->addWidget(labelLabel, 2, 0);
    grid->addWidget(m_editLabel, 2, 1);

    auto* dateLabel = new QLabel(Text(kTextDateLabel), this);
    m_datePicker = new QDateEdit(this);
    named(m_datePicker, "date", 1006);
    m_datePicker->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    m_datePicker->setAlignment(Qt::AlignRight);
    m_timePicker = new QTimeEdit(this);
    named(m_timePicker, "time", 1007);
    m_timePicker->setDisplayFormat(QStringLiteral("H:mm:ss"));
    dateLabel->setBuddy(m_datePicker);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(m_datePicker);
    dateRow->addWidget(m_timePicker);
    dateRow->addStretch(1);
    grid->addWidget(dateLabel, 3, 0);
    grid->addLayout(dateRow, 3, 1);

    auto* kindLabel = new QLabel(Text(kTextKindLabel), this);
    m_kindList = new QComboBox(this);
    named(m_kindList, "combo", 1009);
    m_kindList->addItems({Text(kTextKindJoliet), Text(kTextKindBridge), Text(kTextKindUdf)});
    kindLabel->setBuddy(m_kindList);
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(m_kindList);
    m_bootable = new QLabel(this);
    named(m_bootable, "static", 1016);
    m_bootable->hide();
    kindRow->addWidget(m_bootable);
    kindRow->addStretch(1);
    grid->addWidget(kindLabel, 4, 0);
    grid->addLayout(kindRow, 4, 1);

    const int line = fontMetrics().lineSpacing();
    m_statusText = new QLabel(Text(kStatusReady), this);
    named(m_statusText, "static", 1001);
    m_statusText->setAlignment(Qt::AlignCenter);
    m_statusText->setWordWrap(true);
    m_statusText->setMinimumHeight(2 * line + 4);
    m_byteCounter = new QLabel(QStringLiteral(" "), this);
    named(m_byteCounter, "static", 1003);
    m_byteCounter->setAlignment(Qt::AlignCenter);
    m_byteCounter->setMinimumHeight(line);
    m_percentText = new QLabel(QStringLiteral("0%"), this);
    named(m_percentText, "static", 1013);
    m_percentText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_percentText->setMinimumHeight(line);
    m_progressBar = new QProgressBar(this);
    named(m_progressBar, "progress", 1008);
    m_progressBar->setTextVisible(false);
    m_progressBar->setRange(0, 1);
    m_progressBar->setValue(0);

    m_startButton = new QPushButton(Text(kTextStartButton), this);
    named(m_startButton, "button", 1);
    m_startButton->setDefault(true);
    m_exitButton = new QPushButton(Text(kTextExitCaption), this);
    named(m_exitButton, "button", 2);
    m_exitButton->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_startButton);
    buttons->addWidget(m_exitButton);

    // Room the window gains goes above the status rows, which stay with the bar.
    auto* top = new QVBoxLayout;
    top->addLayout(grid);
    top->addSpacing(line / 2);
    top->addStretch(1);
    top->addWidget(m_statusText);
    top->addWidget(m_byteCounter);
    top->addWidget(m_percentText);
    top->addWidget(m_progressBar);
    top->addSpacing(line / 2);
    top->addLayout(buttons);
    setLayout(top);

    // Tab order is the order of the controls above (the construction order).
    connect(m_editFolder, &QLineEdit::editingFinished, this, &MainDialog::TakeTypedFolder);
    m_editFolder->installEventFilter(this);
    connect(m_browseFolder, &QPushButton::clicked, this, &MainDialog::BrowseFolder);
    connect(m_browseImage, &QPushButton::clicked, this, &MainDialog::BrowseImage);
    connect(m_kindList, &QComboBox::activated, this, &MainDialog::KindChanged);
    connect(m_startButton, &QPushButton::clicked, this, &MainDialog::StartBuild);
    connect(m_exitButton, &QPushButton::clicked, this, &MainDialog::ExitOrStop);
}

void MainDialog::CreateMenus() {
    m_menuBar = new QMenuBar(this);
    // Alt+X belongs to the exit button; the menu takes Y, so each key does one thing.
    QMenu* system = m_menuBar->addMenu(Text(kTextSystemMenu));
    system->setObjectName(QStringLiteral("menuSystem"));
    QAction* exit = system->addAction(Text(kTextExitCaption), this, &MainDialog::ExitOrStop);
    exit->setObjectName(QStringLiteral("action57665"));
    QMenu* extra = m_menuBar->addMenu(Text(kTextExtraMenu));
    extra->setObjectName(QStringLiteral("menuExtra"));
    QAction* volume = extra->addAction(Text(kTextVolumeInfoItem), this, &MainDialog::ShowVolumeInfo);
    volume->setObjectName(QStringLiteral("action32772"));
    QAction* boot = extra->addAction(Text(kTextBootItem), this, &MainDialog::ShowBootSettings);
    boot->setObjectName(QStringLiteral("actionBoot"));
    QMenu* help = m_menuBar->addMenu(Text(kTextHelpMenu));
    help->setObjectName(QStringLiteral("menuHelp"));
    QAction* about = help->addAction(Text(kTextAboutItem), this, &MainDialog::ShowAbout);
    about->setObjectName(QStringLiteral("action57664"));
    QAction* check = extra->addAction(Text(kTextVerifyItem), this, &MainDialog::CheckImage);
    check->setObjectName(QStringLiteral("actionCheckImage"));
    // --reflink and --posix of the command line, for this session, as the
    // settings file ([Options] Reflink, PosixAttributes) set them at start-up.
    QAction* reflink = extra->addAction(Text(kTextReflinkItem));
    reflink->setObjectName(QStringLiteral("actionReflink"));
    reflink->setCheckable(true);
    reflink->setChecked(TheVolumeInfo().Reflink);
    connect(reflink, &QAction::toggled, this, [](bool on) { TheVolumeInfo().Reflink = on; });
    QAction* posix = extra->addAction(Text(kTextPosixItem));
    posix->setObjectName(QStringLiteral("actionPosix"));
    posix->setCheckable(true);
    posix->setChecked(TheVolumeInfo().PosixAttributes);
    connect(posix, &QAction::toggled, this, [](bool on) { TheVolumeInfo().PosixAttributes = on; });
    layout()->setMenuBar(m_menuBar);
}

void MainDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_bClosing = false;
    if (m_bBarMeasured) return;
    // The bar counts in its own pixels, so every step it takes is visible.
    m_bBarMeasured = true;
    m_nBarWidth = m_progressBar->width();
    m_progressBar->setRange(0, std::max(m_nBarWidth, 1));
    m_progressBar->setValue(0);
}

bool MainDialog::ExchangeData(bool fromControls) {
    if (fromControls) {
        m_strSourceFolder = m_editFolder->text().toStdString();
        m_strImagePath = m_editImage->text().toStdString();
        m_strStatus = m_statusText->text().toStdString();
        m_strPercent = m_percentText->text().toStdString();
        m_strByteCount = m_byteCounter->text().toStdString();
        m_nImageKind = m_kindList->currentIndex();
        m_strVolumeLabel = m_editLabel->text().toStdString();
        if (!LabelFits(m_strVolumeLabel)) {
            m_boxes->Show(FormatNumbered(61716, std::to_string(kMaxLabelUnits)), MessageIcon::Exclamation);
            m_editLabel->setFocus();
            m_editLabel->selectAll();
            return false;
        }
        const QDate d = m_datePicker->date();
        m_creationDate = VolumeDate{};
        m_creationDate.year = uint16_t(d.year());
        m_creationDate.month = uint16_t(d.month());
        m_creationDate.day = uint16_t(d.day());
        const QTime t = m_timePicker->time();
        m_creationTime = VolumeDate{};
        m_creationTime.hour = uint16_t(t.hour());
        m_creationTime.minute = uint16_t(t.minute());
        m_creationTime.second = uint16_t(t.second());
        return true;
    }
    m_editFolder->setText(Q(m_strSourceFolder));
    m_editImage->setText(Q(m_strImagePath));
    m_statusText->setText(Q(m_strStatus));
    m_percentText->setText(Q(m_strPercent));
    m_byteCounter->setText(Q(m_strByteCount));
    m_kindList->setCurrentIndex(m_nImageKind);
    m_editLabel->setText(Q(m_strVolumeLabel));
    // Pickers keep their value when handed a date they cannot show.
    if (QDate d = ToQDate(m_creationDate); d.isValid()) m_datePicker->setDate(d);
    if (QTime t = ToQTime(m_creationTime); t.isValid()) m_timePicker->setTime(t);
    return true;
}

void MainDialog::ShowBootable() {
    std::string platforms;
    if (!m_boot.BiosImage.empty()) platforms = "BIOS";
    if (!m_boot.UefiImage.empty()) platforms += (platforms.empty() ? "" : LoadString(kTextListSeparator)) + "UEFI";
    m_bootable->setText(platforms.empty() ? QString() : Q(FormatString(kTextBootableLabel, platforms)));
    m_bootable->setVisible(!platforms.empty());
}

void MainDialog::ShowStatus() {
    m_statusText->setText(Q(m_strStatus));
    m_statusText->repaint();
    emit StatusShown(m_statusText->text());
}

bool MainDialog::TakeFolder() {
    std::string label;
    VolumeDate date, time;
    if (!FolderDefaults(m_platform, m_strSourceFolder, label, date, time)) return false;
    m_strVolumeLabel = label;
    m_creationDate = date;
    m_creationTime = time;
    PreviewImageSize();
    m_bFolderMeasuring = true;
    return true;
}

bool MainDialog::TakeTypedFolder() {
    // Closing the window takes the focus from the box too; nothing is measured then.
    if (m_bBuilding || m_bClosing || !m_editFolder->isModified()) return false;
    std::string typed = m_editFolder->text().toStdString();
    while (typed.size() > 1 && typed.back() == '/') typed.pop_back();  // the label is the last name
    DirEntry folder;
    if (!m_platform.LookupEntry(typed, folder) || !folder.directory) return false;
    // The other fields as they stand, without the label check: the label is
    // about to be replaced.
    m_strImagePath = m_editImage->text().toStdString();
    m_nImageKind = m_kindList->currentIndex();
    m_strSourceFolder = typed;
    TakeFolder();
    ExchangeData(false);  // also marks the box as unedited
    return true;
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
    // Enter in an edited folder box takes the folder; otherwise it starts
    // the build as everywhere else in the window.
    if (watched == m_editFolder && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && TakeTypedFolder()) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void MainDialog::BrowseFolder() {
    // A running build reads the label and date the preview would rewrite.
    if (m_bBuilding) return;
    ExchangeData(true);
    QString chosen =
        QFileDialog::getExistingDirectory(this, Text(kTextFolderDialogTitle), Q(m_strSourceFolder), QFileDialog::ShowDirsOnly);
    if (!chosen.isEmpty() && !m_bBuilding) {
        m_strSourceFolder = QDir::toNativeSeparators(chosen).toStdString();
        TakeFolder();
    }
    ExchangeData(false);
}

void MainDialog::DropFolder(const std::string& path) {
    activateWindow();
    raise();
    if (m_bBuilding || path.empty()) return;
    m_strSourceFolder = path;
    TakeFolder();
    ExchangeData(false);
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
    const QMimeData* data = event->mimeData();
    if (data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    event->acceptProposedAction();
    // Only the first item counts; it need not be a folder.
    QString path = urls.first().toLocalFile();
    if (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    DropFolder(path.toStdString());
}

void MainDialog::BrowseImage() {
    QFileDialog dialog(this, Text(kTextSaveDialogTitle));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("iso"));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters(SaveDialogFilters(LoadString(10033)));
    ExchangeData(true);
    QFileInfo current(Q(m_strImagePath));
    QDir start = current.isDir() ? QDir(current.filePath()) : current.dir();
    if (start.exists()) dialog.setDirectory(start);
    dialog.selectFile(QStringLiteral("image.iso"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    m_strImagePath = QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
    ExchangeData(false);
}

void MainDialog::KindChanged() {
    // A kind chosen while the folder is still being measured restarts it.
    if (!m_bPreviewValid && !(m_bFolderMeasuring && IsMeasuring())) return;
    ExchangeData(true);
    PreviewImageSize();
}

void MainDialog::PreviewImageSize() {
    if (!IsMeasuring()) setCursor(Qt::BusyCursor);  // busy, yet still answering
    m_strStatus = LoadString(10051);
    ShowStatus();
    BuildRequest request = CurrentRequest();
    if (!m_strImagePath.empty()) request.imagePath = NormaliseImagePath(m_strImagePath);
    m_nPreviewRequest = m_preview->Start(std::move(request));
}

void MainDialog::PreviewDone(uint64_t request, uint64_t sectors, uint64_t bytes) {
    if (request != m_nPreviewRequest) return;  // superseded, or no longer wanted
    m_nPreviewRequest = 0;
    unsetCursor();
    if (sectors) {
        std::string s = std::to_string(sectors), b = std::to_string(bytes);
        GroupDigits(s);
        GroupDigits(b);
        m_strStatus = FormatString(10053, s, b) + "\n" + FitsOnText(sectors);
        if (m_bFolderMeasuring) m_bPreviewValid = true;
    } else {
        m_strStatus = LoadString(10052);
    }
    m_bFolderMeasuring = false;
    ShowStatus();
}

void MainDialog::DropPreview() {
    m_preview->Cancel();
    if (IsMeasuring()) unsetCursor();
    m_nPreviewRequest = 0;
}

BuildRequest MainDialog::CurrentRequest() {
    BuildRequest request;
    request.sourceFolder = m_strSourceFolder;
    request.kind = FileSystemType(m_nImageKind);
    // A copy: the record stays the window's own, and the work that gets this
    // request reads nothing else.
    request.volume = TheVolumeInfo();
    ApplyBuildInputs(request.volume, m_strVolumeLabel, m_creationDate, m_creationTime);
    // The BIOS entry first: it is the catalog's default entry, which
    // firmware that knows one platform only looks at.
    if (!m_boot.BiosImage.empty())
        request.boot.push_back(BootRequest{0x00, m_boot.BiosImage, m_boot.BiosLoadSize, m_boot.BiosInfoTable});
    if (!m_boot.UefiImage.empty()) request.boot.push_back(BootRequest{0xEF, m_boot.UefiImage, 0, false});
    if (!request.boot.empty()) request.bootCatalog = m_boot.Catalog;
    ApplySystemInputs(request, m_platform);
    return request;
}

bool MainDialog::TakeJob(BuildRequest& request) {
    if (m_bBuilding || !ExchangeData(true)) return false;
    DirEntry folder;
    if (!m_platform.LookupEntry(m_strSourceFolder, folder) || !folder.directory) {
        m_boxes->Show(FormatString(10039, m_strSourceFolder), MessageIcon::Exclamation);
        return false;
    }
    request = CurrentRequest();
    return true;
}

void MainDialog::CheckImage() {
    BuildRequest request;
    if (!TakeJob(request)) return;
    QFileInfo current(Q(m_strImagePath));
    const QString chosen = QFileDialog::getOpenFileName(
        this, Text(kTextVerifyDialogTitle), current.isDir() ? current.filePath() : current.path(),
        SaveDialogFilters(LoadString(kTextImageFileFilter)).join(QStringLiteral(";;")), nullptr,
        QFileDialog::HideNameFilterDetails);
    if (!chosen.isEmpty()) StartCheck(chosen.toStdString());
}

bool MainDialog::StartCheck(const std::string& imagePath) {
    BuildRequest request;
    if (!TakeJob(request)) return false;
    request.imagePath = imagePath;
    if (m_worker.joinable()) m_worker.join();
    DropPreview();
    m_bBuilding = true;
    m_worker = std::thread([this, request = std::move(request)] { RunCheck(request); });
    return true;
}

void MainDialog::StartBuild() {
    BuildRequest request;
    if (!TakeJob(request)) return;
    if (m_strImagePath.empty()) {
        m_boxes->Show(LoadString(10077), MessageIcon::Exclamation);
        return;
    }
    if (ImagePathNamesFolder(m_platform, m_strImagePath)) {
        m_boxes->Show(FormatString(10088, m_strImagePath), MessageIcon::Exclamation);
        return;
    }
    // The box keeps showing the path as typed.
    m_strImagePath = NormaliseImagePath(m_strImagePath);
    const std::string imageFolder = ImageFolder(m_strImagePath);
    if (!imageFolder.empty()) CreateFolderPath(m_platform, imageFolder);

    request.imagePath = m_strImagePath;
    if (m_worker.joinable()) m_worker.join();  // the last build's worker, already past its end
    // The build's status replaces the size; a late size must not replace it.
    DropPreview();
    // Building from here on, so a second click cannot start a second worker.
    m_bBuilding = true;
    m_worker = std::thread([this, request = std::move(request)] { RunBuild(request); });
}

void MainDialog::ExitOrStop() {
    if (m_bBuilding) {
        m_bStopRequested = true;
        return;
    }
    m_bClosing = true;
    DropPreview();
    QDialog::reject();
}

void MainDialog::reject() { ExitOrStop(); }

void MainDialog::SetSettingsWarnings(std::vector<std::string> lines) {
    m_settingsWarnings = std::move(lines);
    std::string text;
    for (const std::string& line : m_settingsWarnings) text += (text.empty() ? "" : "\n") + line;
    if (!text.empty()) m_boxes->Show(text, MessageIcon::Exclamation);
}

void MainDialog::ShowVolumeInfo() {
    ExchangeData(true);
    VolumeInfoDialog dialog(TheVolumeInfo(), m_creationDate, m_creationTime, m_settingsPath, m_boxes, this);
    dialog.ShowSettingsWarnings(m_settingsWarnings);
    if (dialog.exec() != QDialog::Accepted) return;
    m_settingsWarnings.clear();  // OK wrote the values in range
    const VolumeDate& c = dialog.Creation();
    if (!IsDateUnset(c)) SplitDateTime(c, m_creationDate, m_creationTime);
    ExchangeData(false);
}

void MainDialog::SetBootChoices(const BootChoices& boot) {
    m_boot = boot;
    ShowBootable();
}

void MainDialog::ShowBootSettings() {
    BootDialog dialog(m_boot, m_settingsPath, m_boxes, this);
    if (dialog.exec() != QDialog::Accepted) return;
    ShowBootable();
    KindChanged();  // the boot images change the size shown
}

void MainDialog::ShowAbout() {
    AboutDialog about;
    about.exec();
}

}  // namespace pm
