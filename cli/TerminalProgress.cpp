#include "cli/TerminalProgress.h"

#include <sys/ioctl.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <unistd.h>

#include <algorithm>

#include "messages/Strings.h"

namespace pm::cli {

volatile std::sig_atomic_t g_stopRequested = 0;
std::atomic<bool> g_stopFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler sets it");

namespace {

volatile std::sig_atomic_t g_resized = 0;

void OnStopSignal(int) {
    g_stopRequested = 1;
    g_stopFlag.store(true);
}
void OnResize(int) { g_resized = 1; }

constexpr int kBarCells = 24;
constexpr int kFewestBarCells = 8;

// Columns of the terminal behind `out`; 80 when it does not say.
int TerminalColumns(std::FILE* out) {
    struct winsize ws {};
    if (::ioctl(fileno(out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

// The longest head of `text` that takes at most `columns` columns.
std::string CutToWidth(const std::string& text, int columns) {
    int32_t i = 0, width = 0;
    const int32_t length = int32_t(text.size());
    while (i < length) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(text.data(), i, length, c);
        const int w = DisplayWidth(text.substr(size_t(start), size_t(i - start)));
        if (width + w > columns) return text.substr(0, size_t(start));
        width += w;
    }
    return text;
}

}  // namespace

int DisplayWidth(const std::string& text) {
    int32_t i = 0, width = 0;
    const int32_t length = int32_t(text.size());
    while (i < length) {
        UChar32 c;
        U8_NEXT(text.data(), i, length, c);
        if (c < 0) {
            ++width;  // a stray byte shows as one replacement character
            continue;
        }
        const int ea = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
        width += ea == U_EA_WIDE || ea == U_EA_FULLWIDTH ? 2 : 1;
    }
    return width;
}

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &stops, nullptr);
}

TerminalProgress::TerminalProgress(std::FILE* out, bool show) : m_out(out), m_show(show) {
    if (!m_show) return;
    m_columns = TerminalColumns(m_out);
    struct sigaction sa {};
    sa.sa_handler = OnResize;
    sa.sa_flags = SA_RESTART;  // reads and writes of the build go on undisturbed
    sigemptyset(&sa.sa_mask);
    sigaction(SIGWINCH, &sa, nullptr);
}

void TerminalProgress::OnBuildStarted() {
    m_status = LoadString(kStatusPreparing);
    Draw(true);
}

void TerminalProgress::OnImageSize(uint64_t totalBytes) {
    m_status = LoadString(kStatusWriting);
    m_counter.Start(totalBytes, kBarCells);
    m_start = m_lastDraw = std::chrono::steady_clock::now();
    Draw(true);
}

bool TerminalProgress::OnBytesWritten(uint32_t bytes) {
    bool percentGrew, barGrew;
    m_counter.Add(bytes, percentGrew, barGrew);
    if (m_show && (m_counter.bytesDone & 0xFFFFF) == 0) Draw(false);  // the clock only every 512 sectors
    return g_stopRequested != 0;
}

void TerminalProgress::Finish() {
    if (!m_show || !m_drawn) return;
    Draw(true);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

void TerminalProgress::Draw(bool force) {
    if (!m_show) return;
    if (g_resized) {
        g_resized = 0;
        m_columns = TerminalColumns(m_out);
        force = true;
    }
    auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(400)) return;
    m_lastDraw = now;
    const std::string line = "\r\x1b[K" + Line(std::chrono::duration<double>(now - m_start).count());
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
    m_drawn = true;
}

// Status, bar, percentage, byte counter, throughput and time left, in one
// line that never reaches the last column (a terminal would wrap it, and
// every redraw would scroll). When narrow, the throughput and time left go
// first, then the bar shrinks, then the counter goes, then the line is cut.
std::string TerminalProgress::Line(double secondsSoFar) const {
    const int room = std::max(m_columns - 1, 1);
    if (m_counter.bytesTotal == 0) return CutToWidth(m_status, room);

    std::string tail;
    const double rate = secondsSoFar > 0 ? double(m_counter.bytesDone) / secondsSoFar : 0;
    if (rate > 0) {
        char text[32];
        std::snprintf(text, sizeof text, "  %.1f MB/s  ", rate / 1e6);
        const double left = double(m_counter.bytesTotal - m_counter.bytesDone) / rate;
        tail = text + FormatString(kTextSecondsLeft, std::to_string(int(left + 0.5)));
    }
    const std::string pct = m_counter.PercentText().empty() ? "0%" : m_counter.PercentText();
    const std::string counter = "  " + ByteCounterText(m_counter.bytesDone, m_counter.bytesTotal);
    auto compose = [&](int cells, const std::string& after) {
        std::string bar(size_t(m_counter.barPos) * size_t(cells) / kBarCells, '#');
        bar.resize(size_t(cells), '.');
        return m_status + " [" + bar + "] " + pct + after;
    };
    std::string line = compose(kBarCells, counter + tail);
    if (DisplayWidth(line) <= room) return line;
    for (const std::string& after : {counter, std::string()}) {
        const int cells = std::min(kBarCells, room - DisplayWidth(compose(0, after)));
        if (cells >= kFewestBarCells) return compose(cells, after);
    }
    return CutToWidth(compose(kFewestBarCells, std::string()), room);
}

}  // namespace pm::cli
