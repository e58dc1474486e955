// The progress line of a build on a terminal, and the stop request that
// Ctrl-C (SIGINT, SIGTERM) makes.
#pragma once

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>

#include "job/Progress.h"

namespace pm::cli {

// Set by the signal handler; read once per sector.
extern volatile std::sig_atomic_t g_stopRequested;
// The same request for the scan, which takes an atomic flag (lock-free, so
// the handler may set it).
extern std::atomic<bool> g_stopFlag;
// Installs the handlers of SIGINT and SIGTERM and unblocks both: a signal
// that was pending while blocked (a parent's mask) stops the build at once.
void InstallStopHandlers();

// Terminal columns the UTF-8 text takes (East Asian wide and full-width
// characters two, others one).
int DisplayWidth(const std::string& text);

class TerminalProgress : public ProgressSink {
public:
    // `show` false keeps it silent (--quiet, or stderr is no terminal).
    TerminalProgress(std::FILE* out, bool show);
    void OnBuildStarted() override;
    void OnImageSize(uint64_t totalBytes) override;
    bool OnBytesWritten(uint32_t bytes) override;
    // Draws the final state and ends the line.
    void Finish();

private:
    void Draw(bool force);
    std::string Line(double secondsSoFar) const;

    std::FILE* m_out;
    bool m_show;
    int m_columns = 80;
    std::string m_status;
    ProgressCounter m_counter;
    std::chrono::steady_clock::time_point m_start, m_lastDraw;
    bool m_drawn = false;
};

}  // namespace pm::cli
