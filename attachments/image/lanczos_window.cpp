#include "attachments/image/lanczos_window.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace attachments {
namespace {

// Windows wider than this (reductions by more than about 170) take their sines from a
// rotation, step by step, instead of two calls a tap: a picture 40,000,000 pixels long
// has 240 million taps.
constexpr int kDirectTaps = 1024;
// The rotation starts afresh from exact values this often, so its error cannot grow.
constexpr int kReseedTaps = 4096;

double sinc(double x) {
    if (x == 0.0) return 1.0;
    const double a = std::numbers::pi * x;
    return std::sin(a) / a;
}

double lanczos3(double x) {
    x = std::fabs(x);
    return x < 3.0 ? sinc(x) * sinc(x / 3.0) : 0.0;
}

// Lanczos3 at x0, x0 + dx, x0 + 2dx, ... into `out`, with sin(πx) and sin(πx/3) advanced
// by rotation. lanczos3(x) = 3 sin(πx) sin(πx/3) / (πx)².
void lanczos3Run(double x0, double dx, std::size_t n, double* out) {
    const double pi = std::numbers::pi;
    const double c1 = std::cos(pi * dx), s1 = std::sin(pi * dx);
    const double c3 = std::cos(pi * dx / 3), s3 = std::sin(pi * dx / 3);
    double sinA = 0, cosA = 0, sinB = 0, cosB = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const double x = x0 + dx * static_cast<double>(k);
        if (k % kReseedTaps == 0) {
            sinA = std::sin(pi * x), cosA = std::cos(pi * x);
            sinB = std::sin(pi * x / 3), cosB = std::cos(pi * x / 3);
        }
        if (std::fabs(x) >= 3.0) {
            out[k] = 0.0;
        } else if (std::fabs(x) < 1e-9) {
            out[k] = 1.0;
        } else {
            out[k] = 3.0 * sinA * sinB / (pi * pi * x * x);
        }
        const double a = sinA * c1 + cosA * s1, b = sinB * c3 + cosB * s3;
        cosA = cosA * c1 - sinA * s1, cosB = cosB * c3 - sinB * s3;
        sinA = a, sinB = b;
    }
}

} // namespace

Lanczos3Axis::Lanczos3Axis(int source, int target, double covered)
    : source_(source), target_(target) {
    const double span = covered > 0 ? covered : static_cast<double>(source);
    factor_ = span / target;
    stretch_ = std::max(factor_, 1.0);
    support_ = 3.0 * stretch_;
    widest_ = std::min(static_cast<int>(2 * support_) + 2, std::max(source, 1));
}

int Lanczos3Axis::window(int i, std::vector<float>& weights) const {
    const double centre = (i + 0.5) * factor_;
    const int start = std::max(static_cast<int>(centre - support_ + 0.5), 0);
    const int stop = std::min(static_cast<int>(centre + support_ + 0.5), source_);
    std::vector<double>& window = scratch_;
    window.resize(static_cast<std::size_t>(std::max(stop - start, 0)));
    if (window.size() > static_cast<std::size_t>(kDirectTaps)) {
        lanczos3Run((start + 0.5 - centre) / stretch_, 1.0 / stretch_, window.size(),
                    window.data());
    } else {
        for (int j = start; j < stop; ++j)
            window[static_cast<std::size_t>(j - start)] = lanczos3((j + 0.5 - centre) / stretch_);
    }
    double sum = 0.0;
    for (const double w : window)
        sum += w;
    int lo = 0;
    int hi = static_cast<int>(window.size());
    while (lo < hi && std::fabs(window[lo]) < 1e-9)
        ++lo;
    while (hi > lo && std::fabs(window[hi - 1]) < 1e-9)
        --hi;
    if (lo == hi || sum == 0.0) { // cannot happen for sane sizes; keep one tap
        weights.assign(1, 1.0f);
        return std::min(start, source_ - 1);
    }
    weights.resize(static_cast<std::size_t>(hi - lo));
    for (int k = lo; k < hi; ++k)
        weights[static_cast<std::size_t>(k - lo)] = static_cast<float>(window[k] / sum);
    return start + lo;
}

FilterTaps lanczos3Taps(int source, int target, double covered) {
    const Lanczos3Axis axis(source, target, covered);
    FilterTaps taps;
    taps.first.resize(target);
    taps.count.resize(target);
    taps.offset.resize(target);
    std::vector<float> weights;
    for (int i = 0; i < target; ++i) {
        taps.first[i] = axis.window(i, weights);
        taps.count[i] = static_cast<int>(weights.size());
        taps.offset[i] = taps.weights.size();
        taps.weights.insert(taps.weights.end(), weights.begin(), weights.end());
        taps.widest = std::max(taps.widest, taps.count[i]);
    }
    return taps;
}

} // namespace attachments
