#include "job/Progress.h"

#include "tree/PathUtil.h"

namespace pm {

void ProgressCounter::Start(uint64_t total, int width) {
    bytesTotal = total;
    bytesDone = 0;
    percentShown = 0;
    barWidth = width;
    barPos = 0;
}

void ProgressCounter::Add(uint32_t n, bool& percentGrew, bool& barGrew) {
    bytesDone += n;
    percentGrew = barGrew = false;
    if (bytesTotal == 0) return;
    int percent = int(bytesDone * 100 / bytesTotal);
    if (percent > percentShown) {
        percentShown = percent;
        percentGrew = true;
    }
    int pos = int(uint64_t(barWidth) * bytesDone / bytesTotal);
    if (pos > barPos) {
        barPos = pos;
        barGrew = true;
    }
}

std::string ProgressCounter::PercentText() const {
    return percentShown > 0 ? std::to_string(percentShown) + "%" : std::string();
}

std::string ByteCounterText(uint64_t done, uint64_t total) {
    std::string d = std::to_string(done), t = std::to_string(total);
    GroupDigits(d);
    GroupDigits(t);
    return d + " / " + t + " byte";
}

}  // namespace pm
