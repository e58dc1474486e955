#include "cli/TerminalProgress.h"

#include "job/Strings.h"

namespace pm::cli {

volatile std::sig_atomic_t g_stopRequested = 0;

namespace {
void OnStopSignal(int) { g_stopRequested = 1; }
constexpr int kBarCells = 24;
}  // namespace

void InstallStopHandlers() {
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

void TerminalProgress::OnBuildStarted() {
    m_status = LoadString(10046);
    Draw(true);
}

void TerminalProgress::OnImageSize(uint64_t totalBytes) {
    m_status = LoadString(10047);
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
    auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(400)) return;
    m_lastDraw = now;
    std::string line = "\r\x1b[K" + m_status;
    if (m_counter.bytesTotal > 0) {
        std::string bar(size_t(m_counter.barPos), '#');
        bar.resize(kBarCells, '.');
        double secs = std::chrono::duration<double>(now - m_start).count();
        double rate = secs > 0 ? double(m_counter.bytesDone) / secs : 0;
        char tail[96];
        if (rate > 0) {
            double left = double(m_counter.bytesTotal - m_counter.bytesDone) / rate;
            std::snprintf(tail, sizeof tail, "  %.1f MB/s  残り %d 秒", rate / 1e6, int(left + 0.5));
        } else {
            tail[0] = '\0';
        }
        std::string pct = m_counter.PercentText();
        line += " [" + bar + "] " + (pct.empty() ? "0%" : pct) + "  " +
                ByteCounterText(m_counter.bytesDone, m_counter.bytesTotal) + tail;
    }
    std::fputs(line.c_str(), m_out);
    std::fflush(m_out);
    m_drawn = true;
}

}  // namespace pm::cli
